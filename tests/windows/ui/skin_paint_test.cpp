// The main window and its three pages paint through a DC whose state they
// put back, and repainting them makes no GDI object; they are Unicode windows
// whose texts read back as the templates and the pages wrote them; they take
// a high-contrast theme's colours while it is on.
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

// A high-contrast theme turned on while the wizard is open: the directory
// page's texts, its ground and its buttons take the system's colours at
// once; turned off, the skin is as it was, to the pixel. Wine has no
// high-contrast themes (SPI_SETHIGHCONTRAST fails, SPI_GETHIGHCONTRAST says
// off): there the theme's query answers as the system would.
TEST_F(SkinPaintTest, HighContrastTakesTheSystemsColoursWhileItIsOn) {
  const std::vector<CSkinDlg*> windows = Windows();
  for (size_t page = 1; page < windows.size(); ++page) windows[page]->ShowWindow(page == 1 ? SW_SHOWNA : SW_HIDE);
  const auto shot = [] {
    Pump(150);
    return Snapshot(window_->m_hWnd);
  };
  int kinds[5] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HIGHLIGHT};
  COLORREF scheme[5] = {RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 0, 96), RGB(0, 255, 0), RGB(0, 255, 255)};
  COLORREF saved[5];
  for (int i = 0; i < 5; ++i) saved[i] = ::GetSysColor(kinds[i]);
  bool (*const query)() = theHighContrastQuery;
  // SetSysColors tells every top-level window.
  const auto contrast = [&](bool on) {
    HIGHCONTRASTW flags = {sizeof flags, on ? static_cast<DWORD>(HCF_HIGHCONTRASTON) : 0, nullptr};
    const bool system = ::SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof flags, &flags, SPIF_SENDCHANGE);
    theHighContrastQuery = system || !on ? query : [] { return true; };
    return ::SetSysColors(5, kinds, on ? scheme : saved) != 0;
  };
  const auto before = shot();
  const bool turnedOn = contrast(true);
  const auto on = shot();
  const bool turnedOff = contrast(false);
  const auto off = shot();
  ASSERT_TRUE(turnedOn && turnedOff);

  // The label "安装位置:" in the text colour and no white left, the caption
  // band and the page in the ground colour, the install button's face and
  // its edge (the page starts 43 px down the main window).
  int text = 0, white = 0;
  for (int y = 43 + 194; y < 43 + 214; ++y)
    for (int x = 30; x < 130; ++x) {
      const COLORREF c = on->at(x, y);
      text += GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) < 80;
      white += GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200;
    }
  EXPECT_GT(text, 20);
  EXPECT_EQ(white, 0);
  EXPECT_EQ(on->at(300, 3), scheme[0]);
  EXPECT_EQ(on->at(10, 360), scheme[0]);
  EXPECT_EQ(on->at(448 + 50, 43 + 269 + 6), scheme[2]);
  EXPECT_EQ(on->at(448 + 50, 43 + 269), scheme[3]);
  int differ = 0;
  for (int y = 0; y < before->height(); ++y)
    for (int x = 0; x < before->width(); ++x) differ += off->at(x, y) != before->at(x, y);
  EXPECT_EQ(differ, 0);
}

}  // namespace
