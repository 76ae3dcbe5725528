// The window layer: one binding whichever way a control is born, who lets go
// first, and the dialog base's reflection.
#include <gtest/gtest.h>

#include "control_stage.h"
#include "framework/controls.h"
#include "res/resource.h"

namespace {

class Probe : public CButton {
 public:
  int presubclassed = 0;
  int reflectedColours = 0;
  LRESULT colourAnswer = 0;

 protected:
  void PreSubclassWindow() override {
    ++presubclassed;
    EXPECT_EQ(FromHandle(m_hWnd), nullptr);  // not bound yet
  }
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == Reflected(WM_CTLCOLORBTN)) {
      ++reflectedColours;
      return colourAnswer;
    }
    return CButton::WindowProc(msg, wParam, lParam);
  }
};

TEST(FrameworkWndTest, CreatedAndTemplateControlsBindAlike) {
  HWND check = TheStage().page.GetDlgItem(IDC_CHECK_RUN);
  {
    Probe created, found;
    ASSERT_TRUE(created.Create("x", WS_CHILD, {0, 0, 10, 10}, Page(), 4000));
    ASSERT_TRUE(found.SubclassDlgItem(IDC_CHECK_RUN, TheStage().page));
    EXPECT_FALSE(found.SubclassWindow(check));  // once only
    for (Probe* p : {&created, &found}) {
      EXPECT_EQ(p->presubclassed, 1);
      EXPECT_EQ(CWnd::FromHandle(p->m_hWnd), p);
    }
    HWND made = created.m_hWnd;
    created.~Probe();  // a window the object made goes with it
    new (&created) Probe;
    EXPECT_FALSE(::IsWindow(made));
  }
  // A template's control outlives its object, unbound.
  EXPECT_TRUE(::IsWindow(check));
  EXPECT_EQ(CWnd::FromHandle(check), nullptr);
  EXPECT_EQ(::SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST(FrameworkWndTest, AWindowDestroyedFirstUnbindsItself) {
  Probe probe;
  ASSERT_TRUE(probe.Create("x", WS_CHILD, {0, 0, 10, 10}, Page(), 4001));
  HWND hwnd = probe.m_hWnd;
  ::DestroyWindow(hwnd);
  EXPECT_EQ(probe.m_hWnd, nullptr);
  EXPECT_FALSE(probe.IsSubclassedControl());
  EXPECT_EQ(CWnd::FromHandle(hwnd), nullptr);
}

TEST(FrameworkWndTest, TextGoesInAndComesOutAsGbkWhateverTheCodePage) {
  Probe probe;
  ASSERT_TRUE(probe.Create("立即安装", WS_CHILD, {0, 0, 10, 10}, Page(), 4003));
  EXPECT_TRUE(::IsWindowUnicode(probe.m_hWnd));
  EXPECT_EQ(WindowTextW(probe.m_hWnd), u"立即安装");
  // What the window holds (UTF-16), what the program reads back (GBK; a
  // character GBK cannot hold reads as '?'), and what that text shows as
  // when the program sets it again.
  const struct {
    const wchar_t* held;
    const char* gbk;
    const char16_t* again;
  } cases[] = {
      {L"C:\\游戏\\Kelvane", "C:\\游戏\\Kelvane", u"C:\\游戏\\Kelvane"},
      {L"C:\\한\\游戏", "C:\\?\\游戏", u"C:\\?\\游戏"},
      {L"", "", u""},
  };
  for (const auto& c : cases) {
    ::SetWindowTextW(probe.m_hWnd, c.held);
    EXPECT_EQ(probe.GetWindowText(), c.gbk);
    probe.SetWindowText(c.gbk);
    EXPECT_EQ(WindowTextW(probe.m_hWnd), c.again);
  }
}

TEST(FrameworkWndTest, DialogReflectsColoursAndLetsZeroFallThrough) {
  Probe probe;
  ASSERT_TRUE(probe.Create("x", WS_CHILD, {0, 0, 10, 10}, Page(), 4002));
  TestPage& page = TheStage().page;
  page.notes.clear();
  HDC dc = ::GetDC(probe.m_hWnd);
  const LPARAM child = reinterpret_cast<LPARAM>(probe.m_hWnd);

  (void)::SendMessageA(Page(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), child);
  EXPECT_EQ(probe.reflectedColours, 1);
  EXPECT_EQ(page.Count(WM_CTLCOLORBTN, child), 1);  // no answer: the page answers

  probe.colourAnswer = reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(::SendMessageA(Page(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), child), probe.colourAnswer);
  EXPECT_EQ(probe.reflectedColours, 2);
  EXPECT_EQ(page.Count(WM_CTLCOLORBTN, child), 1);
  ::ReleaseDC(probe.m_hWnd, dc);
}

}  // namespace
