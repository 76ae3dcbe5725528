// Not a check: with KV_SKIN_SHOWCASE=<seconds> set, shows every control on
// the stage for that long so a screenshot can be taken of the display.
#include <gtest/gtest.h>

#include <cstdlib>

#include "control_stage.h"
#include "res/resource.h"
#include "skin/arc_btn.h"
#include "skin/menu_edit.h"
#include "skin/png_button.h"

namespace {

TEST(ControlShowcase, HoldsTheControlsOnScreen) {
  const char* seconds = std::getenv("KV_SKIN_SHOWCASE");
  if (seconds == nullptr) GTEST_SKIP() << "KV_SKIN_SHOWCASE not set";
  CPngButton close;
  ASSERT_TRUE(close.Create("", WS_CHILD | WS_VISIBLE, {0, 0, 0, 0}, Page(), IDC_BTN_CLOSE));
  close.SizeToContent();
  close.MoveWindow(605, 10, 22, 22);
  CArcBtn buttons[4];
  const char* captions[4] = {"浏览...", "立即安装", "取消", "立即体验"};
  const int styles[4] = {0, 0, 1, 2};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(buttons[i].Create(captions[i], WS_CHILD | WS_VISIBLE, {20 + 110 * i, 60, 120 + 110 * i, 95}, Page(),
                                  3000 + i));
    buttons[i].m_crText = buttons[i].m_crTextPressed = RGB(255, 255, 255);
    buttons[i].SetColors(i == 2 ? RGB(119, 119, 119) : RGB(65, 125, 253), RGB(119, 119, 119));
    buttons[i].m_nCornerSize = i == 0 ? 0 : 15;
    buttons[i].m_nCornerStyle = styles[i];
  }
  CMenuEdit edit;
  ASSERT_TRUE(edit.SubclassDlgItem(IDC_EDIT_DIR, TheStage().page));
  edit.m_crBack = RGB(255, 255, 255);
  edit.m_crTextColor = RGB(0, 0, 0);
  edit.SetWindowText("C:\\Program Files\\Kelvane\\");
  edit.m_rcLayout = {0, 0, 400, 35};
  edit.MoveWindow(20, 120, 400, 35);
  RepaintPage();
  MouseTo(close.m_hWnd, 11, 11);
  Pump(std::atoi(seconds) * 1000);
}

}  // namespace
