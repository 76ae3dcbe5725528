// PNG resources through GDI+ into DIB sections, premultiplying, the three
// blits, and GDI+ running exactly while images exist.
#include "skin/image.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "graphics_canvas.h"
#include "res/resource.h"

namespace {

const std::uint8_t* PixelAt(const CImage& image, int x, int y) {
  return static_cast<const std::uint8_t*>(image.m_pBits) + y * image.m_nPitch + x * image.m_nBPP / 8;
}

Colour StoredColour(const CImage& image, int x, int y) {
  const std::uint8_t* p = PixelAt(image, x, y);
  return RGB(p[2], p[1], p[0]);
}

TEST(PngResource, NormalFaceIs32BitsWithSoftAlpha) {
  CImage image;
  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_NORMAL));
  ASSERT_FALSE(image.IsNull());
  EXPECT_EQ(image.m_nWidth, 22);
  EXPECT_EQ(image.m_nHeight, 22);
  EXPECT_EQ(image.m_nBPP, 32);
  EXPECT_TRUE(image.m_bHasAlpha);
  EXPECT_TRUE(image.m_bIsDIBSection);
  EXPECT_EQ(image.m_iTransparentColor, -1);
  int clear = 0, solid = 0, soft = 0;
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < 22; ++x) {
      const int a = PixelAt(image, x, y)[3];
      (a == 0 ? clear : a == 255 ? solid : soft)++;
    }
  }
  EXPECT_GT(clear, 300);
  EXPECT_GT(solid, 10);
  EXPECT_GT(soft, 10);
}

TEST(PngResource, HoverFaceIsOpaqueAndDrawsAsStored) {
  CImage image;
  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_HOVER));
  ASSERT_FALSE(image.IsNull());
  EXPECT_EQ(image.m_nWidth, 22);
  EXPECT_EQ(image.m_nHeight, 22);
  EXPECT_FALSE(image.m_bHasAlpha);
  EXPECT_EQ(image.m_nBPP, 24);  // what the decoder gives an RGB PNG here
  PremultiplyAlpha(&image);
  EXPECT_EQ(StoredColour(image, 0, 0), RGB(231, 39, 39));
  EXPECT_EQ(StoredColour(image, 21, 0), RGB(231, 39, 39));
  EXPECT_EQ(StoredColour(image, 11, 11), RGB(255, 255, 255));

  DibCanvas canvas(22, 22, RGB(1, 2, 3));
  ASSERT_TRUE(image.Draw(canvas.dc(), 0, 0, 22, 22, 0, 0, 22, 22));
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 22; ++x) ASSERT_EQ(canvas.at(x, y), StoredColour(image, x, y)) << x << "," << y;
}

TEST(PngResource, MissingIdsAndNullImages) {
  EXPECT_FALSE(LoadPngResource(nullptr, IDB_PNG_CLOSE_NORMAL));
  CImage image;
  EXPECT_FALSE(LoadPngResource(&image, 999));
  EXPECT_TRUE(image.IsNull());
  EXPECT_FALSE(LoadPngResource(&image, IDB_TOP));  // a bitmap, not of type "PNG"
  DibCanvas canvas(22, 22, 0);
  EXPECT_FALSE(image.Draw(canvas.dc(), 0, 0, 22, 22, 0, 0, 22, 22));  // nothing to draw
}

TEST(PngResource, AnUndecodableResourceIsLoadedIntoAnEmptyImage) {
  CImage image;
  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_NORMAL));
  EXPECT_TRUE(LoadPngResource(&image, 900));  // found and loaded
  EXPECT_TRUE(image.IsNull());
}

TEST(PngResource, LoadingIntoAFullImageEmptiesItFirst) {
  CImage image;
  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_NORMAL));
  ASSERT_FALSE(image.IsNull());
  EXPECT_FALSE(LoadPngResource(&image, 999));
  EXPECT_TRUE(image.IsNull());
  EXPECT_EQ(image.m_nWidth + image.m_nBPP, 0);
  EXPECT_FALSE(image.m_bHasAlpha);

  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_NORMAL));
  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_HOVER));
  EXPECT_FALSE(image.m_bHasAlpha);
  EXPECT_EQ(image.m_nBPP, 24);
}

TEST(PngResource, GdiplusRunsWhileImagesLive) {
  ASSERT_EQ(LiveImageCount(), 0);
  EXPECT_FALSE(GdiplusIsRunning());
  for (int round = 0; round < 2; ++round) {  // the second round starts it again
    {
      CImage outer;
      EXPECT_FALSE(GdiplusIsRunning()) << "started before any decode";
      ASSERT_TRUE(LoadPngResource(&outer, IDB_PNG_CLOSE_NORMAL));
      EXPECT_TRUE(GdiplusIsRunning());
      {
        CImage inner;
        ASSERT_TRUE(LoadPngResource(&inner, IDB_PNG_CLOSE_HOVER));
        EXPECT_EQ(LiveImageCount(), 2);
      }
      EXPECT_TRUE(GdiplusIsRunning());
      EXPECT_FALSE(outer.IsNull());
    }
    EXPECT_EQ(LiveImageCount(), 0);
    EXPECT_FALSE(GdiplusIsRunning());
  }
}

TEST(ImageDraw, AlphaBlendsThePremultipliedFaceOverTheBackground) {
  CImage image;
  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_NORMAL));
  std::uint8_t straight[22][22][4];
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 22; ++x)
      for (int c = 0; c < 4; ++c) straight[y][x][c] = PixelAt(image, x, y)[c];
  PremultiplyAlpha(&image);

  const Colour background = RGB(10, 20, 200);
  DibCanvas canvas(22, 22, background);
  ASSERT_TRUE(image.Draw(canvas.dc(), 0, 0, 22, 22, 0, 0, 22, 22));
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < 22; ++x) {
      const int a = straight[y][x][3];
      const Colour got = canvas.at(x, y);
      if (a == 0) {
        ASSERT_EQ(got, background) << x << "," << y;
        continue;
      }
      const int bg[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
      const int out[3] = {GetBValue(got), GetGValue(got), GetRValue(got)};
      for (int c = 0; c < 3; ++c) {
        const int want = straight[y][x][c] * a / 255 + bg[c] * (255 - a) / 255;
        ASSERT_NEAR(out[c], want, 2) << x << "," << y << " channel " << c;
      }
    }
  }
}

TEST(ImageDraw, TransparentColourIsLeftOut) {
  CImage image;
  ASSERT_TRUE(LoadPngResource(&image, IDB_PNG_CLOSE_HOVER));
  image.m_clrTransparentColor = RGB(231, 39, 39);
  DibCanvas canvas(22, 22, RGB(0, 128, 0));
  ASSERT_TRUE(image.Draw(canvas.dc(), 0, 0, 22, 22, 0, 0, 22, 22));
  EXPECT_EQ(canvas.at(0, 0), RGB(0, 128, 0));
  EXPECT_EQ(canvas.at(11, 11), RGB(255, 255, 255));
}

}  // namespace
