// The layout at every display scale: the 96-dpi places the pages have always
// had, each scaled within a pixel, nothing overlapping, and the step down to
// a window that fits the screen.
#include "skin/skin_scale.h"

#include <gtest/gtest.h>

namespace {

bool Overlap(const SkinRect& a, const SkinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(SkinScaleTest, EachScaleIsThe96DpiLayoutWithinAPixel) {
  const DirPageLayout base = LayOutDirPage(96, 688, 189);
  const SkinRect expected[7] = {{30, 194, 130, 214},  {30, 214, 570, 249},  {570, 214, 658, 249}, {30, 254, 150, 274},
                                {170, 254, 290, 274}, {448, 269, 548, 304}, {558, 269, 658, 304}};
  for (int dpi : {96, 120, 144, 168, 192}) {
    const SkinSize window = MainWindowSize(dpi);
    EXPECT_EQ(window.cx, (688 * dpi + 48) / 96);
    EXPECT_EQ(window.cy, (367 * dpi + 48) / 96);
    const DirPageLayout l = LayOutDirPage(dpi, window.cx, ScaleLength(189, dpi));
    const SkinRect rects[7] = {l.label, l.edit, l.browse, l.desktop, l.run, l.install, l.cancel};
    const int page = window.cy - LayOutMainWindow(dpi, window.cx, {0, 0}).captionHeight;
    for (int i = 0; i < 7; ++i) {
      const SkinRect& e = dpi == 96 ? expected[i] : (&base.label)[i];
      EXPECT_NEAR(rects[i].left, e.left * dpi / 96.0, 1) << dpi << " " << i;
      EXPECT_NEAR(rects[i].right, e.right * dpi / 96.0, 1) << dpi << " " << i;
      EXPECT_NEAR(rects[i].bottom, e.bottom * dpi / 96.0, 1) << dpi << " " << i;
      EXPECT_LE(rects[i].right, window.cx);
      EXPECT_LE(rects[i].bottom, page);
      for (int j = i + 1; j < 7; ++j) EXPECT_FALSE(Overlap(rects[i], rects[j])) << dpi << " " << i << " " << j;
    }
  }
  const FinishPageLayout finish = LayOutFinishPage(96, 688, 324, 189);
  EXPECT_EQ(finish.label.top, 229);
  EXPECT_EQ(finish.button.left, 563);
  EXPECT_EQ(finish.button.top, 254);
  EXPECT_EQ(LayOutMainWindow(96, 688, {22, 22}).close.left, 688 - 13 - 22);
  EXPECT_EQ(DialogFontHeight(96), -11);
  EXPECT_EQ(DialogFontHeight(192), -21);
}

TEST(SkinScaleTest, PictureSetsAndTheStepDownToAWindowThatFits) {
  EXPECT_EQ(SkinPictureId(155, 96), 155);
  EXPECT_EQ(SkinPictureId(155, 120), 1155);  // 125 %: the 1.5x set, scaled down
  EXPECT_EQ(SkinPictureId(161, 144), 1161);
  EXPECT_EQ(SkinPictureId(161, 168), 2161);  // 175 %: the 2x set, scaled down
  EXPECT_EQ(SkinPictureId(161, 240), 2161);
  const struct {
    int dpi, workWidth, workHeight, expected;
  } cases[] = {
      {192, 2560, 1560, 192},
      {192, 1366, 728, 168},  // 1376 x 734 does not fit, 1204 x 642 does
      {150, 1050, 600, 144},  // an odd scale steps to the 25 % step below it
      {144, 1024, 728, 120},
      {192, 640, 480, 96},    // nothing fits: 100 %, never smaller
  };
  for (const auto& c : cases) EXPECT_EQ(FitDpi(c.dpi, c.workWidth, c.workHeight), c.expected) << c.dpi;
}

}  // namespace
