#include "ui/finish_dlg.h"

#include "core/process.h"
#include "res/resource.h"
#include "skin/skin_scale.h"

CFinishDlg::CFinishDlg(const InstallState& state) : CPageDlg(IDD_FINISH, IDB_TOP, CLR_NONE), m_state(state) {}

BOOL CFinishDlg::OnInitDialog() {
  (void)CPageDlg::OnInitDialog();
  m_pBtnStart = MakeTextButton("立即体验", IDOK, RECT{0, 0, 100, 35}, RGB(65, 125, 253));
  return TRUE;
}

void CFinishDlg::ShowOutcome() {
  // Once: a second WM_INSTALL_FINISHED changes nothing on the page.
  if (m_bOutcomeShown) return;
  m_bOutcomeShown = true;
  // A failed install does not offer to start a client that may be missing or
  // incomplete; the button then only closes the installer.
  const bool ok = InstallSucceeded();
  SetDlgItemText(IDC_STATIC, ok ? "安装成功!" : "安装失败!");
  m_pBtnStart->SetWindowText(ok ? "立即体验" : "退出");
}

void CFinishDlg::Layout(int cx, int cy) {
  const FinishPageLayout l = LayOutFinishPage(m_nDpi, cx, cy, m_nTopImageHeight);
  PlaceControl(IDC_STATIC, l.label);
  PlaceTextButton(m_pBtnStart.get(), l.button, false);  // square corners, unlike the directory page's
}

void CFinishDlg::OnStart() {
  if (InstallSucceeded()) StartUpdater(m_state.m_strInstallDir);
  ::PostQuitMessage(0);
}

INT_PTR CFinishDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OnStart();
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORBTN:
      ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(::GetStockObject(HOLLOW_BRUSH));
  }
  return CPageDlg::OnMessage(msg, wParam, lParam);
}
