// The close button and the text buttons in a page, driven by the mouse.
#include <gtest/gtest.h>

#include "control_stage.h"
#include "res/resource.h"
#include "skin/arc_btn.h"
#include "skin/png_button.h"
#include "skin/skin_messages.h"

namespace {

constexpr COLORREF kRed = RGB(231, 39, 39);
constexpr COLORREF kBlue = RGB(65, 125, 253);
constexpr POINT kAway = {600, 330};  // page coordinates clear of every control

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TheStage().page.notes.clear();
    MouseTo(Page(), kAway.x, kAway.y);
  }
  void TearDown() override { MouseButton(false); }
  void MouseToCentre(const CWnd& button) {
    const RECT rc = button.GetClientRect();
    MouseTo(button.m_hWnd, rc.right / 2, rc.bottom / 2);
  }
  TestPage& page() { return TheStage().page; }
};

bool LightGrey(COLORREF c) {
  return GetRValue(c) > 150 && GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
}

TEST_F(ButtonTest, CloseButtonSizesItselfAndShowsRedWhileHovered) {
  CPngButton button;
  ASSERT_TRUE(button.Create("", WS_CHILD | WS_VISIBLE, {0, 0, 0, 0}, Page(), IDC_BTN_CLOSE));
  EXPECT_EQ(button.GetStyle() & 0xF, static_cast<DWORD>(BS_OWNERDRAW));
  button.SizeToContent();
  const RECT size = button.GetWindowRect();
  EXPECT_EQ(size.right - size.left, 22);
  EXPECT_EQ(size.bottom - size.top, 22);
  button.MoveWindow(600, 10, 22, 22);
  RepaintPage();

  auto normal = Snapshot(button.m_hWnd);
  EXPECT_EQ(normal->at(1, 1), kPageColour);  // transparent around the cross
  EXPECT_TRUE(LightGrey(normal->at(11, 11))) << std::hex << normal->at(11, 11);

  MouseToCentre(button);
  Pump(150);  // the 10 ms hover report
  EXPECT_TRUE(button.m_bHover);
  auto hover = Snapshot(button.m_hWnd);
  EXPECT_EQ(hover->at(1, 1), kRed);
  EXPECT_EQ(hover->at(11, 11), RGB(255, 255, 255));

  MouseTo(Page(), kAway.x, kAway.y);
  Pump(100);
  EXPECT_FALSE(button.m_bHover);
  EXPECT_EQ(Snapshot(button.m_hWnd)->at(1, 1), kPageColour);
  EXPECT_EQ(page().Count(WM_MOUSELEAVE), 1);
}

TEST_F(ButtonTest, CloseButtonClicksOnlyWhenReleasedOverIt) {
  CPngButton button;
  ASSERT_TRUE(button.Create("", WS_CHILD | WS_VISIBLE, {600, 10, 622, 32}, Page(), IDC_BTN_CLOSE));
  MouseToCentre(button);
  MouseButton(true);
  MouseTo(Page(), kAway.x, kAway.y);
  MouseButton(false);
  EXPECT_EQ(page().Count(WM_SKINBTN_CLICK), 0);
  EXPECT_EQ(page().Count(WM_COMMAND), 0);

  Pump(static_cast<int>(::GetDoubleClickTime()) + 50);  // a second press, not a double click
  MouseToCentre(button);
  MouseButton(true);
  MouseButton(false);
  EXPECT_EQ(page().Count(WM_SKINBTN_CLICK, IDC_BTN_CLOSE), 1);
  EXPECT_EQ(page().Count(WM_COMMAND), 1);
  EXPECT_TRUE(button.m_bLatched);
}

class ArcButtonTest : public ButtonTest {
 protected:
  void SetUp() override {
    ButtonTest::SetUp();
    ASSERT_TRUE(button.Create("立即安装", WS_CHILD | WS_VISIBLE, {20, 20, 120, 55}, Page(), IDOK));
    button.m_crText = button.m_crTextPressed = RGB(255, 255, 255);
    button.SetColors(kBlue, kBlue);
    button.m_nCornerSize = 15;
    button.m_nSquareOff = 15;
    RepaintPage();
  }
  CArcBtn button;
};

TEST_F(ArcButtonTest, ReleasedAnywhereClicksWithoutBnClicked) {
  EXPECT_EQ(button.GetStyle() & (WS_CLIPCHILDREN | 0xF), static_cast<DWORD>(WS_CLIPCHILDREN | BS_OWNERDRAW));
  MouseToCentre(button);
  EXPECT_GT(page().Count(WM_MOUSEMOVE, 0), 0);  // each move is sent on as (0, 0)
  MouseButton(true);
  MouseTo(Page(), kAway.x, kAway.y);
  MouseButton(false);
  EXPECT_EQ(page().Count(WM_SKINBTN_CLICK, IDOK), 1);
  EXPECT_EQ(page().Count(WM_COMMAND), 0);
}

TEST_F(ArcButtonTest, PressedLooksOnePixelRightAndDown) {
  ::SetFocus(button.m_hWnd);  // as a press gives it: the focus cue moves with the rest
  MouseToCentre(button);
  Pump(150);
  ASSERT_TRUE(button.m_bHover);
  auto hover = Snapshot(button.m_hWnd);
  MouseButton(true);
  Pump(50);
  ASSERT_EQ(button.m_nState, BUTTON_STATE_PRESSED);
  auto pressed = Snapshot(button.m_hWnd);
  EXPECT_EQ(hover->at(0, 17), kBlue);
  EXPECT_EQ(pressed->at(0, 17), kPageColour);
  EXPECT_EQ(pressed->at(50, 0), kPageColour);
  // The anti-aliased corners blend with what lies under them, which is the
  // last drawing while hovering and the parent's ground once pressed: they
  // are left out.
  int differing = 0;
  for (int y = 0; y < 34; ++y)
    for (int x = 0; x < 99; ++x) {
      const bool corner = (x < 8 || x > 90) && (y < 8 || y > 25);
      differing += !corner && pressed->at(x + 1, y + 1) != hover->at(x, y);
    }
  EXPECT_EQ(differing, 0);
}

TEST_F(ArcButtonTest, NoShapeStylesStillDrawTheCaption) {
  for (int style : {0, 2, 7, -1}) {
    button.m_nCornerStyle = style;
    RepaintPage();
    auto shot = Snapshot(button.m_hWnd);
    EXPECT_EQ(shot->at(4, 17), style == 0 ? kBlue : kPageColour) << "style " << style;
    int light = 0;  // caption pixels, anti-aliased
    for (int y = 5; y < 30; ++y)
      for (int x = 20; x < 80; ++x) {
        const COLORREF c = shot->at(x, y);
        light += GetRValue(c) > 180 && GetGValue(c) > 180 && GetBValue(c) > 180;
      }
    EXPECT_GT(light, 20) << "style " << style;
  }
}

TEST_F(ArcButtonTest, SetColorsShowsAtTheNextRepaint) {
  button.SetColors(RGB(119, 119, 119), RGB(119, 119, 119));
  EXPECT_EQ(Snapshot(button.m_hWnd)->at(4, 17), kBlue);
  RepaintPage();
  EXPECT_EQ(Snapshot(button.m_hWnd)->at(4, 17), RGB(119, 119, 119));
}

}  // namespace
