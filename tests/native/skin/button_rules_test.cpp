// The skinned controls' rules: state selection, caption places, sizes, the
// arc button's corner fills and the menu edit box's bands.
#include "skin/button_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(ButtonStateTest, MomentaryAndLatchingTables) {
  constexpr unsigned kSel = kItemSelected, kFoc = kItemFocus;
  struct Case {
    int mode;
    bool hover;
    unsigned item;
    int latchedBefore, expected, latchedAfter;
  } cases[] = {
      {0, false, 0, 0, BUTTON_STATE_NORMAL, 0},
      {0, true, 0, 0, BUTTON_STATE_HOVER, 0},
      {0, true, kFoc, 1, BUTTON_STATE_HOVER, 1},  // latching flag ignored
      {0, true, kSel | kFoc, 0, BUTTON_STATE_PRESSED, 0},
      {0, true, kSel, 0, BUTTON_STATE_NORMAL, 0},  // held without focus
      {0, false, kSel | kFoc, 0, BUTTON_STATE_NORMAL, 0},
      {1, true, kFoc, 0, BUTTON_STATE_LATCHED, 1},
      {1, true, 0, 0, BUTTON_STATE_NORMAL, 0},
      {1, false, 0, 1, BUTTON_STATE_LATCHED, 1},
      {7, true, kSel | kFoc, 0, 42, 0},  // other modes keep the current state
  };
  for (const Case& c : cases) {
    int latched = c.latchedBefore;
    EXPECT_EQ(SelectButtonState(c.mode, c.hover, c.item, &latched, 42), c.expected)
        << "mode " << c.mode << " hover " << c.hover << " item " << c.item;
    EXPECT_EQ(latched, c.latchedAfter);
  }
}

TEST(FocusCueTest, ShownOnlyForTheFocusTheKeyboardMayShow) {
  const struct {
    unsigned item, ui;
    bool shown;
  } cases[] = {
      {kItemFocus, 0, true},
      {kItemFocus | kItemSelected, 0, true},        // Space held down
      {0, 0, false},
      {kItemFocus | kItemNoFocusRect, 0, false},    // the system says hide
      {kItemFocus, kUiHideFocus, false},            // the keyboard has not been used yet
      {kItemFocus, 0x2, true},                      // UISF_HIDEACCEL hides only mnemonics
  };
  for (const auto& c : cases) EXPECT_EQ(ShowsFocusCue(c.item, c.ui), c.shown) << c.item << " " << c.ui;
}

TEST(FocusCueTest, RingsShrinkTheRectangleAndTheCorners) {
  const SkinRect button = {10, 20, 110, 55};  // 100 x 35
  const struct {
    int corner, inset, ring;
    SkinRect rect;
    int ringCorner;
  } cases[] = {
      {0, 0, 0, {10, 20, 109, 54}, 0},   // on the button's last row and column
      {30, 6, 1, {17, 27, 102, 47}, 16},  // the second ring of the cue at 200 %
      {15, 8, 0, {18, 28, 101, 46}, 0},  // past the curve: square
      {15, 17, 0, {0, 0, 0, 0}, 0},      // does not fit
  };
  for (const auto& c : cases) {
    const OutlineRing r = InnerRing(button, c.corner, c.inset, c.ring);
    EXPECT_TRUE(r.rect.left == c.rect.left && r.rect.top == c.rect.top && r.rect.right == c.rect.right &&
                r.rect.bottom == c.rect.bottom)
        << c.corner << " " << c.inset << " " << c.ring << ": " << r.rect.left << "," << r.rect.top << ","
        << r.rect.right << "," << r.rect.bottom;
    EXPECT_EQ(r.corner, c.ringCorner);
  }
}

TEST(PngCaptionTest, PlacesByTextPos) {
  const SkinRect item = {0, 0, 101, 41};
  const SkinSize text = {31, 15};
  const CaptionPlacement centred = PlacePngCaption(-2, item, text, 22);
  EXPECT_EQ(centred.kind, CaptionKind::Centred);
  EXPECT_EQ(centred.rect.right, 101);
  // -1: width 101 - 15 = 86 / 2 = 43; height 41 / 2 + 5 = 25; two lines.
  const CaptionPlacement below = PlacePngCaption(-1, item, text, 22);
  EXPECT_EQ(below.kind, CaptionKind::BelowCentre);
  EXPECT_EQ(below.rect.left, 43);
  EXPECT_EQ(below.rect.right, 58);
  EXPECT_EQ(below.rect.top, 25);
  EXPECT_EQ(below.rect.bottom, 55);
  // > 0: 22-pixel face + 5 = 27 from the left; 20 - 7 = 13 down.
  const CaptionPlacement beside = PlacePngCaption(5, item, text, 22);
  EXPECT_EQ(beside.kind, CaptionKind::BesideFace);
  EXPECT_EQ(beside.x, 27);
  EXPECT_EQ(beside.y, 13);
  EXPECT_EQ(PlacePngCaption(0, item, text, 22).kind, CaptionKind::None);
  EXPECT_EQ(PlacePngCaption(-3, item, text, 22).kind, CaptionKind::None);
}

TEST(PngCaptionTest, FacesCentreOnTheHoverFace) {
  EXPECT_EQ(PngFaceTop({0, 0, 22, 22}, true, 22), 0);
  EXPECT_EQ(PngFaceTop({0, 0, 60, 31}, true, 22), 4);
  EXPECT_EQ(PngFaceTop({0, 0, 60, 31}, false, 22), 0);
}

TEST(PngButtonSizeTest, CaptionAndFace) {
  SkinSize size = {-1, -1};
  EXPECT_FALSE(PngButtonSize(false, {0, 0}, false, {22, 22}, &size));
  EXPECT_EQ(size.cx, -1);
  ASSERT_TRUE(PngButtonSize(false, {0, 0}, true, {22, 22}, &size));
  EXPECT_EQ(size.cx, 22);
  EXPECT_EQ(size.cy, 22);
  ASSERT_TRUE(PngButtonSize(true, {40, 30}, true, {22, 22}, &size));
  EXPECT_EQ(size.cx, 40 + 10 + 22);
  EXPECT_EQ(size.cy, 30);
  ASSERT_TRUE(PngButtonSize(true, {40, 15}, false, {22, 22}, &size));
  EXPECT_EQ(size.cx, 40);
  EXPECT_EQ(size.cy, 15);
}

TEST(ArcShapeTest, CornerStyles) {
  const SkinRect r = {1, 1, 101, 36};  // a pressed 100 x 35 button
  struct Case {
    int style;
    bool rounded;
    int fills;
    SolidFill first, second;
  } cases[] = {
      {0, true, 0, {}, {}},
      {1, true, 1, {16, 1, 101, 36}, {}},
      {2, false, 0, {}, {}},
      {3, true, 1, {1, 11, 101, 36}, {}},
      {4, true, 1, {1, 1, 101, 26}, {}},
      {5, true, 2, {1, 11, 101, 36}, {16, 1, 101, 36}},
      {6, false, 0, {}, {}},
      {7, false, 0, {}, {}},
      {-1, false, 0, {}, {}},
  };
  for (const Case& c : cases) {
    const ArcShape s = ArcButtonShape(c.style, r, 15, 10);
    EXPECT_EQ(s.rounded, c.rounded) << "style " << c.style;
    ASSERT_EQ(s.fillCount, c.fills) << "style " << c.style;
    const SolidFill* want[] = {&c.first, &c.second};
    for (int i = 0; i < s.fillCount; ++i) {
      EXPECT_EQ(s.fills[i].x, want[i]->x) << "style " << c.style << " fill " << i;
      EXPECT_EQ(s.fills[i].y, want[i]->y);
      EXPECT_EQ(s.fills[i].cx, want[i]->cx);
      EXPECT_EQ(s.fills[i].cy, want[i]->cy);
    }
  }
}

TEST(MenuEditLayoutTest, BandsAroundOneLine) {
  struct Case {
    int height, textHeight, pad;
  } cases[] = {{35, 15, 10}, {35, 17, 9}, {35, 13, 11}, {35, 35, 0}, {10, 17, 0}, {0, 15, 0}};
  for (const Case& c : cases) {
    const MenuEditBands b = MenuEditLayout({0, 0, 540, c.height}, c.textHeight);
    EXPECT_EQ(b.pad, c.pad) << c.height << " / " << c.textHeight;
    EXPECT_EQ(b.top.bottom, c.pad);
    EXPECT_EQ(b.top.right, 540);
    EXPECT_EQ(b.bottom.top, c.height - c.pad);
    EXPECT_EQ(b.bottom.bottom, c.height);
  }
  const SkinRect client = MenuEditClient({0, 0, 540, 35}, 10, 5);
  EXPECT_EQ(client.left, 5);
  EXPECT_EQ(client.top, 10);
  EXPECT_EQ(client.bottom, 25);
  const SkinRect squeezed = MenuEditClient({0, 0, 540, 12}, 10, 0);  // window shorter than its layout
  EXPECT_EQ(squeezed.top, 10);
  EXPECT_EQ(squeezed.bottom, 10);
}

}  // namespace
