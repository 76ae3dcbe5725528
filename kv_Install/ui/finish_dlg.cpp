#include "ui/finish_dlg.h"

#include <shellapi.h>

#include "core/app.h"
#include "core/install_step.h"
#include "res/resource.h"
#include "ui/page_paint.h"

namespace {

bool InstallSucceeded() { return theApp.m_outcome == InstallOutcome::Installed; }

}  // namespace

CFinishDlg::~CFinishDlg() {
  if (m_hTopImage != nullptr) ::DeleteObject(m_hTopImage);
}

BOOL CFinishDlg::OnInitDialog() {
  m_hTopImage = LoadTopImage(IDB_TOP, &m_nTopImageHeight);
  if (m_pBtnStart == nullptr) {
    // Square corners, unlike the directory page's buttons.
    m_pBtnStart = MakeTextButton(m_hWnd, "立即体验", IDOK, RECT{0, 0, 100, 35}, RGB(65, 125, 253));
    ShapeTextButton(*m_pBtnStart, 0, 0, 0);
  }
  return TRUE;
}

void CFinishDlg::ShowOutcome() {
  // Once: a second WM_INSTALL_FINISHED changes nothing on the page.
  if (m_bOutcomeShown) return;
  m_bOutcomeShown = true;
  // A failed install does not offer to start a client that may be missing or
  // incomplete; the button then only closes the installer.
  const bool ok = InstallSucceeded();
  ::SetDlgItemTextA(m_hWnd, IDC_STATIC, ok ? "安装成功!" : "安装失败!");
  if (m_pBtnStart != nullptr) m_pBtnStart->SetWindowText(ok ? "立即体验" : "退出");
}

void CFinishDlg::Layout(int cx, int cy) {
  if (HWND label = ::GetDlgItem(m_hWnd, IDC_STATIC)) ::MoveWindow(label, 25, m_nTopImageHeight + 40, 100, 20, TRUE);
  if (m_pBtnStart != nullptr) m_pBtnStart->MoveWindow(cx - 125, cy - 70, 100, 35);
}

void CFinishDlg::OnStart() {
  if (InstallSucceeded()) {
    const std::string updater = theApp.m_strInstallDir + "\\" + kUpdaterExe;
    (void)::ShellExecuteA(nullptr, "open", updater.c_str(), nullptr, theApp.m_strInstallDir.c_str(), SW_SHOW);
  }
  ::PostQuitMessage(0);
}

void CFinishDlg::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  RECT lower = client;
  lower.top += m_nTopImageHeight;
  FillSolid(dc, lower, RGB(45, 45, 45));
  DrawTopImage(dc, m_hTopImage, client);
  ::EndPaint(m_hWnd, &ps);
}

INT_PTR CFinishDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OnStart();
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      OnPaint();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return StaticTextColours(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORBTN:
      ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(::GetStockObject(HOLLOW_BRUSH));
  }
  return FALSE;
}
