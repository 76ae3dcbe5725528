// The main window and its three pages paint through a DC whose state they
// put back, and repainting them makes no GDI object; they are Unicode windows
// whose texts read back as the templates and the pages wrote them.
#include <gtest/gtest.h>

#include <vector>

#include "base/gdi.h"
#include "base/handles.h"
#include "res/resource.h"
#include "skin/control_stage.h"
#include "skin/theme.h"
#include "ui/main_dlg.h"

CTheme theTheme;

namespace {

class SkinPaintTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    window_ = new Ckv_InstallDlg(state_, "kvsetup");
    ASSERT_TRUE(window_->Create(nullptr));
    ::ShowWindow(window_->m_hWnd, SW_SHOWNOACTIVATE);
    Pump(50);
  }
  static void TearDownTestSuite() { delete window_; }

  // The main window, then the directory, progress and finish pages.
  static std::vector<CSkinDlg*> Windows() {
    std::vector<CSkinDlg*> windows = {window_};
    for (HWND child = ::GetWindow(window_->m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (auto* page = dynamic_cast<CSkinDlg*>(CWnd::FromHandle(child))) windows.push_back(page);
    }
    return windows;
  }

  static InstallState state_;
  static Ckv_InstallDlg* window_;
};

InstallState SkinPaintTest::state_;
Ckv_InstallDlg* SkinPaintTest::window_ = nullptr;

TEST_F(SkinPaintTest, PaintPutsBackWhatItSelectsAndSets) {
  const std::vector<CSkinDlg*> windows = Windows();
  ASSERT_EQ(windows.size(), 4u);
  for (size_t n = 0; n < windows.size(); ++n) {
    CSkinDlg* window = windows[n];
    const RECT client = window->GetClientRect();
    DibCanvas canvas(client.right, client.bottom, RGB(1, 2, 3));
    const UniqueFont font(::CreateFontA(12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
    const UniqueGdiObject pen(::CreatePen(PS_DASH, 1, RGB(9, 8, 7)));
    ScopedSelect selectFont(canvas.dc(), font.get());
    ScopedSelect selectPen(canvas.dc(), pen.get());
    ::SetBkColor(canvas.dc(), RGB(4, 5, 6));
    ::SetTextColor(canvas.dc(), RGB(7, 8, 9));

    window->Paint(canvas.dc());

    EXPECT_EQ(::GetCurrentObject(canvas.dc(), OBJ_FONT), font.get()) << n;
    EXPECT_EQ(::GetCurrentObject(canvas.dc(), OBJ_PEN), pen.get()) << n;
    EXPECT_EQ(::GetBkColor(canvas.dc()), RGB(4, 5, 6)) << n;
    EXPECT_EQ(::GetTextColor(canvas.dc()), RGB(7, 8, 9)) << n;
    EXPECT_EQ(::GetBkMode(canvas.dc()), OPAQUE) << n;
    EXPECT_EQ(canvas.at(1, client.bottom - 1), RGB(45, 45, 45)) << n;  // the dark page below everything
  }
}

TEST_F(SkinPaintTest, FiftyPaintsLeaveTheGdiCountAlone) {
  const std::vector<CSkinDlg*> windows = Windows();
  for (size_t n = 0; n < windows.size(); ++n) {
    CSkinDlg* window = windows[n];
    // A page is painted while it is the one shown.
    for (size_t page = 1; n > 0 && page < windows.size(); ++page) windows[page]->ShowWindow(page == n ? SW_SHOWNA : SW_HIDE);
    const auto paint = [window] { ::RedrawWindow(window->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
    paint();
    Pump(20);
    const int before = GdiObjectCount();
    for (int i = 0; i < 50; ++i) paint();
    Pump(20);
    EXPECT_EQ(GdiObjectCount(), before) << n;
  }
}

TEST_F(SkinPaintTest, UnicodeWindowsWithTheirChineseTexts) {
  const std::vector<CSkinDlg*> windows = Windows();
  ASSERT_EQ(windows.size(), 4u);
  for (CSkinDlg* window : windows) EXPECT_TRUE(::IsWindowUnicode(window->m_hWnd));
  // Page (1 directory, 2 progress, 3 finish), control, text as UTF-16.
  const struct {
    size_t page;
    int id;
    const char16_t* text;
  } cases[] = {
      {1, IDC_STATIC_DIR, u"安装位置:"}, {1, IDC_CHECK_DESKTOP, u"创建桌面图标"}, {1, IDC_CHECK_RUN, u"运行软件"},
      {1, IDC_BTN_BROWSE, u"浏览..."},   {1, IDOK, u"立即安装"},                  {1, IDCANCEL, u"取消"},
      {2, IDC_STATIC, u"正在安装..."},   {3, IDC_STATIC, u"安装成功!"},           {3, IDOK, u"立即体验"},
  };
  for (const auto& c : cases) {
    HWND control = windows[c.page]->GetDlgItem(c.id);
    EXPECT_TRUE(::IsWindowUnicode(control)) << c.id;
    EXPECT_EQ(WindowTextW(control), c.text) << c.page << " " << c.id;
  }
  // Chinese typed into the folder box arrives whole, and reads back as GBK.
  HWND edit = windows[1]->GetDlgItem(IDC_EDIT_DIR);
  ::SetWindowTextW(edit, L"");
  for (const wchar_t* p = L"C:\\游戏"; *p != L'\0'; ++p) ::SendMessageW(edit, WM_CHAR, *p, 0);
  EXPECT_EQ(WindowTextW(edit), u"C:\\游戏");
  EXPECT_EQ(GetWindowTextGbk(edit), "C:\\游戏");  // narrow literals are GBK here
}

}  // namespace
