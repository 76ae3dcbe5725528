// The folder box: bands from the measured text height, the text margin, the
// placeholder and masking.
#include <gtest/gtest.h>

#include "control_stage.h"
#include "base/handles.h"
#include "res/resource.h"
#include "skin/menu_edit.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// A font whose "Ky" measures 15 pixels high.
HFONT FontMeasuring15() {
  HDC dc = ::GetDC(nullptr);
  HFONT found = nullptr;
  for (int height = 15; height <= 25 && found == nullptr; ++height) {
    HFONT font = ::CreateFontA(height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0x20, "Arial");
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE extent = {};
    ::GetTextExtentPoint32A(dc, "Ky", 2, &extent);
    ::SelectObject(dc, old);
    if (extent.cy == 15) {
      found = font;
    } else {
      ::DeleteObject(font);
    }
  }
  ::ReleaseDC(nullptr, dc);
  return found;
}

class MenuEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    font_.reset(FontMeasuring15());
    ASSERT_TRUE(font_);
    ::SetFocus(TheStage().page.GetDlgItem(IDC_CHECK_DESKTOP));  // no caret in the box
    ASSERT_TRUE(edit.SubclassDlgItem(IDC_EDIT_DIR, TheStage().page));
    edit.SetWindowText("");
    edit.m_pFont = &font_;
    edit.m_crBack = kWhite;
    edit.m_crTextColor = RGB(0, 0, 0);
    edit.m_crPlaceholder = RGB(0, 0, 0);
    Place();
  }
  void Place() {
    edit.m_rcLayout = {0, 0, 300, 35};
    edit.SetWindowPos(nullptr, 30, 200, 300, 35, SWP_NOZORDER | SWP_FRAMECHANGED);  // the bands anew
    RepaintPage();
  }
  // The first window column of the client area with text pixels, dark on
  // white. (The margin's strip is not the box's to paint.)
  int FirstTextColumn() {
    auto shot = Snapshot(edit.m_hWnd);
    POINT origin = {0, 0};
    ::ClientToScreen(edit.m_hWnd, &origin);
    for (int x = origin.x - edit.GetWindowRect().left; x < shot->width(); ++x)
      for (int y = 10; y < 25; ++y)
        if (GetGValue(shot->at(x, y)) < 160) return x;
    return -1;
  }

  UniqueFont font_;
  CMenuEdit edit;
};

TEST_F(MenuEditTest, TenPixelBandsAroundA15PixelLine) {
  EXPECT_EQ(edit.m_rcTopBand.bottom, 10);
  EXPECT_EQ(edit.m_rcBottomBand.top, 25);
  const RECT client = edit.GetClientRect();
  EXPECT_EQ(client.bottom - client.top, 15);
  POINT origin = {0, 0};
  ::ClientToScreen(edit.m_hWnd, &origin);
  const RECT window = edit.GetWindowRect();
  EXPECT_EQ(origin.y - window.top, 10);
  EXPECT_EQ(origin.x - window.left, 0);

  auto shot = Snapshot(edit.m_hWnd);
  EXPECT_EQ(shot->at(150, 2), kWhite);
  EXPECT_EQ(shot->at(150, 32), kWhite);
  // m_crBack changes at the next non-client paint, bands and text ground alike.
  edit.m_crBack = RGB(140, 140, 140);
  RepaintPage();
  shot = Snapshot(edit.m_hWnd);
  EXPECT_EQ(shot->at(150, 2), RGB(140, 140, 140));
  EXPECT_EQ(shot->at(150, 17), RGB(140, 140, 140));
}

TEST_F(MenuEditTest, TextMarginMovesTheTextRight) {
  edit.SetWindowText("KKKK");
  RepaintPage();
  const int plain = FirstTextColumn();
  ASSERT_GE(plain, 0);
  edit.m_nTextMargin = 5;
  Place();
  EXPECT_EQ(FirstTextColumn(), plain + 5);
}

TEST_F(MenuEditTest, PlaceholderAfterLeavingAnEmptyBoxClearsOnClick) {
  edit.m_strPlaceholder = "folder";
  edit.m_crPlaceholder = RGB(255, 0, 0);
  ::SetFocus(edit.m_hWnd);
  Pump(30);
  ::SetFocus(TheStage().page.GetDlgItem(IDC_CHECK_DESKTOP));
  Pump(30);
  EXPECT_EQ(edit.GetWindowText(), "folder");
  RepaintPage();
  auto shot = Snapshot(edit.m_hWnd);
  int red = 0;
  for (int y = 10; y < 25; ++y)
    for (int x = 0; x < 100; ++x) {
      const COLORREF c = shot->at(x, y);
      red += GetRValue(c) > 200 && GetGValue(c) < 120 && GetBValue(c) < 120;
    }
  EXPECT_GT(red, 5);

  MouseTo(edit.m_hWnd, 150, 7);
  MouseButton(true);
  MouseButton(false);
  EXPECT_EQ(edit.GetWindowText(), "");
}

TEST_F(MenuEditTest, PasswordMasksRealTextOnly) {
  edit.m_strPlaceholder = "folder";
  edit.m_bPassword = 1;
  edit.SetDisplayText("folder");
  EXPECT_EQ(::SendMessageA(edit.m_hWnd, EM_GETPASSWORDCHAR, 0, 0), 0);
  edit.SetDisplayText("secret");
  EXPECT_EQ(::SendMessageA(edit.m_hWnd, EM_GETPASSWORDCHAR, 0, 0), '*');
  ::SendMessageA(edit.m_hWnd, EM_SETPASSWORDCHAR, 0, 0);
}

}  // namespace
