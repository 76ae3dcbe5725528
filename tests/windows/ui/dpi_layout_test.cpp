// The main window at 100, 150, 125 and 200 %, reached as a move between
// monitors brings them (WM_DPICHANGED, whose DPI the system does not report
// under Wine): its size, the places of the layout, the top image drawn for
// the scale, the fonts, and no text cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "base/gdi.h"
#include "base/wide.h"
#include "res/resource.h"
#include "skin/control_stage.h"
#include "skin/control_support.h"
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

void ExpectPlace(HWND control, HWND parent, const SkinRect& want, const std::string& what) {
  const RECT got = RectIn(control, parent);
  EXPECT_TRUE(got.left == want.left && got.top == want.top && got.right == want.right && got.bottom == want.bottom)
      << what << ": " << got.left << "," << got.top << "," << got.right << "," << got.bottom;
}

// The control's text on one line in font: DrawText's DT_CALCRECT size.
SIZE TextSize(HWND control, HGDIOBJ font) {
  ScopedClientDC dc(control);
  ScopedSelect select(dc.get(), font);
  RECT rc = {0, 0, 0, 0};
  ::DrawTextW(dc.get(), WStr(WindowTextW(control)), -1, &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return {rc.right, rc.bottom};
}

TEST(DpiLayoutTest, EveryScaleLaysOutTheWindowAndCutsNoText) {
  InstallState state;
  Ckv_InstallDlg window(state, "kvsetup");
  ASSERT_TRUE(window.Create(nullptr));
  ::ShowWindow(window.m_hWnd, SW_SHOWNOACTIVATE);
  std::vector<HWND> pages;
  for (HWND child = ::GetWindow(window.m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (dynamic_cast<CPageDlg*>(CWnd::FromHandle(child)) != nullptr) pages.push_back(child);
  }
  ASSERT_EQ(pages.size(), 3u);
  for (int dpi : {96, 144, 120, 192, 96}) {  // the unit tests' prefix is at 96 dpi: the first needs no move
    const std::string at = " at " + std::to_string(dpi) + " dpi";
    RECT rc;
    ::GetWindowRect(window.m_hWnd, &rc);
    const SkinSize size = MainWindowSize(dpi);
    RECT suggested = {rc.left, rc.top, rc.left + size.cx, rc.top + size.cy};
    if (dpi != window.Dpi()) ::SendMessageW(window.m_hWnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump(20);
    ASSERT_EQ(window.Dpi(), dpi);
    ExpectPlace(window.m_hWnd, nullptr, ToSkinRect(suggested), "window" + at);
    const int face = ScaleLength(22, dpi);
    const MainLayout main = LayOutMainWindow(dpi, size.cx, {face, face});
    ExpectPlace(::GetDlgItem(window.m_hWnd, IDC_BTN_CLOSE), window.m_hWnd, main.close, "close button" + at);
    LOGFONTW lf = {};
    ASSERT_NE(::GetObjectW(theTheme.m_fontButton.get(), sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, ScaleLength(theTheme.m_choice.fonts[1].height, dpi)) << at;

    const int top = ScaleLength(189, dpi);
    const DirPageLayout l = LayOutDirPage(dpi, size.cx, top);
    const std::pair<int, SkinRect> places[] = {{IDC_STATIC_DIR, l.label},    {IDC_EDIT_DIR, l.edit}, {IDC_BTN_BROWSE, l.browse},
                                               {IDC_CHECK_DESKTOP, l.desktop}, {IDC_CHECK_RUN, l.run}, {IDOK, l.install},
                                               {IDCANCEL, l.cancel}};
    for (const auto& p : places) ExpectPlace(::GetDlgItem(pages[0], p.first), pages[0], p.second, std::to_string(p.first) + at);
    ExpectPlace(::GetDlgItem(pages[1], IDC_PROGRESS), pages[1], LayOutProgressPage(dpi, size.cx, top).bar, "bar" + at);
    ExpectPlace(::GetDlgItem(pages[2], IDOK), pages[2], LayOutFinishPage(dpi, size.cx, size.cy - main.captionHeight, top).button,
                "finish button" + at);

    for (HWND page : pages) {
      ExpectPlace(page, window.m_hWnd, {0, main.captionHeight, size.cx, size.cy}, "page" + at);
      // The top image drawn for the scale is exactly its height: the dark
      // page starts right below it.
      DibCanvas canvas(size.cx, size.cy, RGB(1, 2, 3));
      static_cast<CSkinDlg*>(CWnd::FromHandle(page))->Paint(canvas.dc());
      EXPECT_NE(canvas.at(size.cx - 1, top - 1), kPageColour) << at;
      EXPECT_EQ(canvas.at(size.cx - 1, top), kPageColour) << at;
      // Statics and check boxes in the page's font made for the DPI, text
      // buttons in the theme's, the folder box's line between its bands.
      for (HWND c = ::GetWindow(page, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        ::GetClassNameW(c, cls, 16);
        const std::string what = NarrowOrPlaceholder(WindowTextW(c)) + at;
        const auto font = reinterpret_cast<HGDIOBJ>(::SendMessageW(c, WM_GETFONT, 0, 0));
        const DWORD type = ::GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
        const bool button = ::lstrcmpiW(cls, L"Button") == 0;
        RECT box;
        ::GetClientRect(c, &box);
        SIZE text = {0, 0};
        if (::lstrcmpiW(cls, L"Static") == 0 || (button && type == BS_AUTOCHECKBOX)) {
          ASSERT_NE(::GetObjectW(font, sizeof lf, &lf), 0) << what;
          EXPECT_EQ(lf.lfHeight, DialogFontHeight(dpi)) << what;
          text = TextSize(c, font);
          if (button) text.cx += ScaleLength(18, dpi);  // the check box's square and the gap after it
        } else if (button && type == BS_OWNERDRAW) {
          text = TextSize(c, theTheme.m_fontButton.get());
        } else if (::lstrcmpiW(cls, L"Edit") == 0) {
          text = {0, std::max(TextSize(c, font).cy, TextSize(c, theTheme.m_fontText.get()).cy)};
        }
        EXPECT_LE(text.cx, box.right) << what;
        EXPECT_LE(text.cy, box.bottom) << what;
      }
    }
  }
  window.DestroyWindow();
  theTheme.SetDpi(96);
}

}  // namespace
