// The layout at every display scale: the 96-dpi places the pages have always
// had, each of them scaled within a pixel at 125, 150 and 200 %, the picture
// sets and the step down to a window that fits the screen.
#include "skin/skin_scale.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kDpis[] = {96, 120, 144, 168, 192};

std::vector<SkinRect> DirRects(const DirPageLayout& l) {
  return {l.label, l.edit, l.browse, l.desktop, l.run, l.install, l.cancel};
}

bool Overlap(const SkinRect& a, const SkinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void ExpectRect(const SkinRect& r, int x, int y, int cx, int cy, const char* what) {
  EXPECT_EQ(r.left, x) << what;
  EXPECT_EQ(r.top, y) << what;
  EXPECT_EQ(r.right - r.left, cx) << what;
  EXPECT_EQ(r.bottom - r.top, cy) << what;
}

TEST(SkinScaleTest, At96DpiThePagesKeepTheirPlaces) {
  const DirPageLayout dir = LayOutDirPage(96, 688, 189);
  ExpectRect(dir.label, 30, 194, 100, 20, "label");
  ExpectRect(dir.edit, 30, 214, 540, 35, "edit");
  ExpectRect(dir.browse, 570, 214, 88, 35, "browse");
  ExpectRect(dir.desktop, 30, 254, 120, 20, "desktop");
  ExpectRect(dir.run, 170, 254, 120, 20, "run");
  ExpectRect(dir.install, 448, 269, 100, 35, "install");
  ExpectRect(dir.cancel, 558, 269, 100, 35, "cancel");
  const FinishPageLayout finish = LayOutFinishPage(96, 688, 324, 189);
  ExpectRect(finish.label, 25, 229, 100, 20, "finish label");
  ExpectRect(finish.button, 563, 254, 100, 35, "finish button");
  const ProgressPageLayout progress = LayOutProgressPage(96, 688, 189);
  ExpectRect(progress.bar, 20, 209 + 16 + 10, 648, 10, "bar");
  const MainLayout main = LayOutMainWindow(96, 688, {22, 22});
  EXPECT_EQ(main.captionHeight, 43);
  ExpectRect(main.close, 688 - 13 - 22, 10, 22, 22, "close");
  EXPECT_EQ(TextButton(96, true).cornerSize, 15);
  EXPECT_EQ(TextButton(96, false).cornerSize, 0);
  EXPECT_EQ(DialogFontHeight(96), -11);
}

TEST(SkinScaleTest, WindowSizeAndFontsFollowTheScale) {
  struct Case {
    int dpi, width, height, font, halves, closeId;
  } cases[] = {
      {96, 688, 367, -11, 2, 155},   {120, 860, 459, -13, 3, 1155}, {144, 1032, 551, -16, 3, 1155},
      {168, 1204, 642, -19, 4, 2155}, {192, 1376, 734, -21, 4, 2155}, {240, 1720, 918, -27, 4, 2155},
  };
  for (const Case& c : cases) {
    const SkinSize size = MainWindowSize(c.dpi);
    EXPECT_EQ(size.cx, c.width) << c.dpi;
    EXPECT_EQ(size.cy, c.height) << c.dpi;
    EXPECT_EQ(DialogFontHeight(c.dpi), c.font) << c.dpi;
    EXPECT_EQ(PictureSetHalves(c.dpi), c.halves) << c.dpi;
    EXPECT_EQ(SkinPictureId(155, c.dpi), c.closeId) << c.dpi;
  }
}

TEST(SkinScaleTest, EveryPlaceIsThe96DpiPlaceScaledWithinAPixel) {
  const std::vector<SkinRect> base = DirRects(LayOutDirPage(96, 688, 189));
  for (int dpi : kDpis) {
    const SkinSize window = MainWindowSize(dpi);
    const int caption = LayOutMainWindow(dpi, window.cx, {0, 0}).captionHeight;
    const std::vector<SkinRect> rects = DirRects(LayOutDirPage(dpi, window.cx, ScaleLength(189, dpi)));
    for (size_t i = 0; i < rects.size(); ++i) {
      const int edges[4][2] = {{rects[i].left, base[i].left},
                               {rects[i].top, base[i].top},
                               {rects[i].right, base[i].right},
                               {rects[i].bottom, base[i].bottom}};
      for (const auto& e : edges) EXPECT_NEAR(e[0], e[1] * dpi / 96.0, 1.5) << dpi << " control " << i;
      // Inside the page, and clear of every other control.
      EXPECT_GE(rects[i].left, 0);
      EXPECT_LE(rects[i].right, window.cx) << dpi << " control " << i;
      EXPECT_LE(rects[i].bottom, window.cy - caption) << dpi << " control " << i;
      for (size_t j = i + 1; j < rects.size(); ++j) EXPECT_FALSE(Overlap(rects[i], rects[j])) << dpi << " " << i << " " << j;
    }
    const FinishPageLayout finish = LayOutFinishPage(dpi, window.cx, window.cy - caption, ScaleLength(189, dpi));
    EXPECT_LE(finish.button.bottom, window.cy - caption);
    EXPECT_FALSE(Overlap(finish.label, finish.button));
    const ProgressPageLayout progress = LayOutProgressPage(dpi, window.cx, ScaleLength(189, dpi));
    EXPECT_GE(progress.bar.top, progress.label.bottom);
    EXPECT_EQ(progress.bar.right, window.cx - ScaleLength(20, dpi));
  }
}

TEST(SkinScaleTest, AWindowTooBigForTheScreenStepsDownNeverBelow96) {
  struct Case {
    int dpi, workWidth, workHeight, expected;
  } cases[] = {
      {192, 2560, 1560, 192},  // fits
      {192, 1366, 728, 168},   // a small screen at 200 %: 1376 x 734 does not fit, 1204 x 642 does
      {192, 1200, 680, 144},
      {150, 1050, 600, 144},   // an odd scale steps to the 25 % step below it
      {144, 1024, 728, 120},
      {120, 800, 600, 96},
      {192, 640, 480, 96},     // nothing fits: 100 %, never smaller
      {96, 640, 480, 96},
  };
  for (const Case& c : cases) EXPECT_EQ(FitDpi(c.dpi, c.workWidth, c.workHeight), c.expected) << c.dpi;
}

}  // namespace
