// Every pen, brush, DC, bitmap and image a control makes goes with it: 50
// controls of each kind made, drawn and destroyed leave the GDI count alone.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>

#include "control_stage.h"
#include "skin/arc_btn.h"
#include "skin/menu_edit.h"
#include "skin/png_button.h"

namespace {

void Draw(const CWnd& control) {
  ::RedrawWindow(control.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
}

TEST(ControlGdiTest, FiftyOfEachLeaveTheCountWhereItWas) {
  const std::pair<const char*, std::function<void()>> kinds[] = {
      {"CPngButton",
       [] {
         CPngButton button;
         ASSERT_TRUE(button.Create("", WS_CHILD | WS_VISIBLE, {0, 0, 0, 0}, Page(), 1110));
         button.SizeToContent();
         Draw(button);
       }},
      {"CArcBtn",
       [] {
         CArcBtn button;
         ASSERT_TRUE(button.Create("取消", WS_CHILD | WS_VISIBLE, {0, 0, 100, 35}, Page(), 2));
         button.m_nCornerSize = 15;
         button.SetColors(RGB(119, 119, 119), RGB(119, 119, 119));
         Draw(button);
         button.SetColors(RGB(65, 125, 253), RGB(65, 125, 253));
         Draw(button);
       }},
      {"CMenuEdit",
       [] {
         CMenuEdit edit;
         ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, {0, 0, 300, 35}, Page(), 1200));
         edit.m_rcLayout = {0, 0, 300, 35};
         edit.MoveWindow(0, 100, 300, 35);
         Draw(edit);
       }},
  };
  ASSERT_GT(GdiObjectCount(), 0);
  for (const auto& [name, cycle] : kinds) {
    cycle();  // first use: GDI+ and the display's own caches
    Pump(20);
    const int before = GdiObjectCount();
    for (int i = 0; i < 50; ++i) cycle();
    Pump(20);
    const int after = GdiObjectCount();
    std::cout << name << ": " << before << " GDI objects before 50 cycles, " << after << " after\n";
    EXPECT_EQ(after, before) << name;
  }
}

}  // namespace
