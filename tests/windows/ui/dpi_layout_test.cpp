// The main window at 100, 125, 150 and 200 %, reached as a move between
// monitors brings them (a WM_DPICHANGED whose DPI the system does not
// report): its size, the pages' places, the pictures and fonts made for the
// scale, and no text cut anywhere.
#include <gtest/gtest.h>

#include <string>

#include "base/gdi.h"
#include "base/handles.h"
#include "base/wide.h"
#include "res/resource.h"
#include "skin/control_stage.h"
#include "skin/skin_scale.h"
#include "skin/theme.h"
#include "ui/main_dlg.h"

namespace {

RECT RectIn(HWND control, HWND parent) {
  RECT rc;
  ::GetWindowRect(control, &rc);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

void ExpectPlace(HWND control, HWND page, const SkinRect& want, const std::string& what) {
  const RECT got = RectIn(control, page);
  EXPECT_EQ(got.left, want.left) << what;
  EXPECT_EQ(got.top, want.top) << what;
  EXPECT_EQ(got.right, want.right) << what;
  EXPECT_EQ(got.bottom, want.bottom) << what;
}

// The size the control's text takes on one line in font.
SIZE TextSize(HWND control, HGDIOBJ font) {
  ScopedClientDC dc(control);
  ScopedSelect select(dc.get(), font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::u16string text = WindowTextW(control);
  RECT rc = {0, 0, 0, 0};
  ::DrawTextW(dc.get(), WStr(text), -1, &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return {rc.right, rc.bottom};
}

class DpiLayoutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    window_ = new Ckv_InstallDlg(state_, "kvsetup");
    ASSERT_TRUE(window_->Create(nullptr));
    ::ShowWindow(window_->m_hWnd, SW_SHOWNOACTIVATE);
    Pump(50);
  }
  static void TearDownTestSuite() {
    delete window_;
    theTheme.SetDpi(96);
  }

  // What the system sends when the window lands on a monitor of that scale:
  // the new DPI and a rectangle of the scaled size where the window stands.
  static void MoveToMonitorOf(int dpi) {
    RECT rc;
    ::GetWindowRect(window_->m_hWnd, &rc);
    const SkinSize size = MainWindowSize(dpi);
    RECT suggested = {rc.left, rc.top, rc.left + size.cx, rc.top + size.cy};
    ::SendMessageW(window_->m_hWnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump(20);
  }

  static HWND Page(int n) {
    HWND child = ::GetWindow(window_->m_hWnd, GW_CHILD);
    for (int i = 0; child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (dynamic_cast<CPageDlg*>(CWnd::FromHandle(child)) != nullptr && i++ == n) return child;
    }
    return nullptr;
  }

  static void ExpectLayout(int dpi);
  static void ExpectNoTextCut(int dpi);

  static InstallState state_;
  static Ckv_InstallDlg* window_;
};

InstallState DpiLayoutTest::state_;
Ckv_InstallDlg* DpiLayoutTest::window_ = nullptr;

void DpiLayoutTest::ExpectLayout(int dpi) {
  const std::string at = " at " + std::to_string(dpi) + " dpi";
  EXPECT_EQ(window_->Dpi(), dpi);
  RECT window;
  ::GetWindowRect(window_->m_hWnd, &window);
  const SkinSize size = MainWindowSize(dpi);
  EXPECT_EQ(window.right - window.left, size.cx) << at;
  EXPECT_EQ(window.bottom - window.top, size.cy) << at;

  HWND close = ::GetDlgItem(window_->m_hWnd, IDC_BTN_CLOSE);
  const int face = ScaleLength(22, dpi);
  const MainLayout main = LayOutMainWindow(dpi, size.cx, {face, face});
  ExpectPlace(close, window_->m_hWnd, main.close, "close button" + at);
  const int top = ScaleLength(189, dpi);
  for (int n = 0; n < 3; ++n) {
    ExpectPlace(Page(n), window_->m_hWnd, {0, main.captionHeight, size.cx, size.cy}, "page" + at);
    // The top image drawn for the scale is exactly its height: the dark page
    // starts right below it.
    const RECT client = CWnd::FromHandle(Page(n))->GetClientRect();
    DibCanvas canvas(client.right, client.bottom, RGB(1, 2, 3));
    static_cast<CSkinDlg*>(CWnd::FromHandle(Page(n)))->Paint(canvas.dc());
    EXPECT_NE(canvas.at(client.right - 1, top - 1), kPageColour) << n << at;
    EXPECT_EQ(canvas.at(client.right - 1, top), kPageColour) << n << at;
  }
  HWND dir = Page(0);
  const DirPageLayout l = LayOutDirPage(dpi, size.cx, top);
  const struct {
    int id;
    SkinRect place;
  } places[] = {{IDC_STATIC_DIR, l.label}, {IDC_EDIT_DIR, l.edit},  {IDC_BTN_BROWSE, l.browse}, {IDC_CHECK_DESKTOP, l.desktop},
                {IDC_CHECK_RUN, l.run},    {IDOK, l.install},      {IDCANCEL, l.cancel}};
  for (const auto& p : places) ExpectPlace(::GetDlgItem(dir, p.id), dir, p.place, std::to_string(p.id) + at);
  const FinishPageLayout f = LayOutFinishPage(dpi, size.cx, size.cy - main.captionHeight, top);
  ExpectPlace(::GetDlgItem(Page(2), IDOK), Page(2), f.button, "finish button" + at);
  ExpectPlace(::GetDlgItem(Page(1), IDC_PROGRESS), Page(1), LayOutProgressPage(dpi, size.cx, top).bar, "bar" + at);
}

// Every text of every page fits its control: statics and check boxes in the
// page's font (made for the DPI), text buttons in the theme's button font,
// the folder box's line inside its client area.
void DpiLayoutTest::ExpectNoTextCut(int dpi) {
  const std::string at = " at " + std::to_string(dpi) + " dpi";
  const int box = ScaleLength(18, dpi);  // the check box's square and the gap after it
  for (int n = 0; n < 3; ++n) {
    for (HWND c = ::GetWindow(Page(n), GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
      wchar_t cls[32] = {};
      ::GetClassNameW(c, cls, 32);
      const std::string what = NarrowOrPlaceholder(WindowTextW(c)) + at;
      RECT rc;
      ::GetClientRect(c, &rc);
      const auto font = reinterpret_cast<HGDIOBJ>(::SendMessageW(c, WM_GETFONT, 0, 0));
      const DWORD type = ::GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
      if (::lstrcmpiW(cls, L"Static") == 0 || (::lstrcmpiW(cls, L"Button") == 0 && type == BS_AUTOCHECKBOX)) {
        LOGFONTW lf = {};
        ASSERT_NE(::GetObjectW(font, sizeof lf, &lf), 0) << what;
        EXPECT_EQ(lf.lfHeight, DialogFontHeight(dpi)) << what;
        const SIZE text = TextSize(c, font);
        EXPECT_LE(text.cx + (type == BS_AUTOCHECKBOX ? box : 0), rc.right) << what;
        EXPECT_LE(text.cy, rc.bottom) << what;
      } else if (::lstrcmpiW(cls, L"Button") == 0 && type == BS_OWNERDRAW) {
        const SIZE text = TextSize(c, theTheme.m_fontButton.get());
        EXPECT_LE(text.cx, rc.right) << what;
        EXPECT_LE(text.cy, rc.bottom) << what;
      } else if (::lstrcmpiW(cls, L"Edit") == 0) {
        EXPECT_LE(TextSize(c, font).cy, rc.bottom) << what;  // the line, inside the bands
        EXPECT_LE(TextSize(c, theTheme.m_fontText.get()).cy, rc.bottom) << what;
      }
    }
  }
}

TEST_F(DpiLayoutTest, EveryScaleLaysOutTheWindowAndCutsNoText) {
  ExpectLayout(96);  // the unit tests' prefix is at 96 dpi
  ExpectNoTextCut(96);
  for (int dpi : {144, 120, 192, 96}) {
    MoveToMonitorOf(dpi);
    ExpectLayout(dpi);
    ExpectNoTextCut(dpi);
  }
}

TEST_F(DpiLayoutTest, ThemeFontsFollowTheWindow) {
  MoveToMonitorOf(144);
  LOGFONTW button = {};
  ASSERT_NE(::GetObjectW(theTheme.m_fontButton.get(), sizeof button, &button), 0);
  EXPECT_EQ(button.lfHeight, ScaleLength(theTheme.m_choice.fonts[1].height, 144));
  MoveToMonitorOf(96);
  ASSERT_NE(::GetObjectW(theTheme.m_fontButton.get(), sizeof button, &button), 0);
  EXPECT_EQ(button.lfHeight, theTheme.m_choice.fonts[1].height);
}

}  // namespace
