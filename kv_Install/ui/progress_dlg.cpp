#include "ui/progress_dlg.h"

#include <winsock2.h>
#include <commctrl.h>

#include "core/install_actions_win.h"
#include "core/install_step.h"
#include "core/process.h"
#include "core/progress_tick.h"
#include "res/resource.h"
#include "ui/messages.h"

namespace {

// The page's progress control, as the completion rule sees it.
class ProgressControl : public ProgressBar {
 public:
  explicit ProgressControl(HWND bar) : bar_(bar) {}
  void StepIt() override { ::SendMessageA(bar_, PBM_STEPIT, 0, 0); }
  int GetPos() const override { return static_cast<int>(::SendMessageA(bar_, PBM_GETPOS, 0, 0)); }

 private:
  HWND bar_;
};

}  // namespace

CProgressDlg::CProgressDlg(InstallState& state)
    : CPageDlg(IDD_PROGRESS, IDB_TOP_PROGRESS, RGB(255, 255, 255)), m_state(state) {
  m_identity.Load();
}

BOOL CProgressDlg::OnInitDialog() {
  (void)CPageDlg::OnInitDialog();
  WSADATA data;
  m_bSocketsStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;

  HWND bar = GetDlgItem(IDC_PROGRESS);
  ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(kProgressMin, kProgressMax));
  ::SendMessageA(bar, PBM_SETSTEP, kProgressStep, 0);
  // A flat bar: no border, no edges.
  ::SetWindowLongA(bar, GWL_STYLE, ::GetWindowLongA(bar, GWL_STYLE) & ~WS_BORDER);
  ::SetWindowLongA(bar, GWL_EXSTYLE,
                   ::GetWindowLongA(bar, GWL_EXSTYLE) & ~(WS_EX_STATICEDGE | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE));
  ::SetWindowPos(bar, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

  m_bInstallDone = 0;
  return TRUE;
}

void CProgressDlg::OnInstallTimer() {
  ::KillTimer(m_hWnd, TIMER_INSTALL);
  Win32InstallActions actions(m_hWnd, m_identity);
  (void)RunInstallStep(m_state, actions);  // the outcome is kept in the install state
  m_bInstallDone = 1;
}

void CProgressDlg::OnProgressTimer() {
  ProgressControl bar(GetDlgItem(IDC_PROGRESS));
  const bool succeeded = m_state.m_outcome == InstallOutcome::Installed;
  switch (ProgressTick(bar, m_bInstallDone, m_state.m_bRunAfterInstall, succeeded)) {
    case TickAction::None:
      break;
    case TickAction::StartUpdater:
      StartUpdater(m_state.m_strInstallDir);
      ::PostQuitMessage(0);
      break;
    case TickAction::ShowFinish:
      ::PostMessageA(::GetParent(m_hWnd), WM_INSTALL_FINISHED, 0, 0);
      break;
  }
}

void CProgressDlg::Layout(int cx, int) {
  int y = m_nTopImageHeight + 20;
  if (HWND label = ::GetDlgItem(m_hWnd, IDC_STATIC)) {
    RECT rc;
    ::GetWindowRect(label, &rc);
    const int h = rc.bottom - rc.top;
    ::MoveWindow(label, 20, y, rc.right - rc.left, h, TRUE);
    y += h + 10;
  }
  if (HWND bar = GetDlgItem(IDC_PROGRESS)) ::MoveWindow(bar, 20, y, cx - 40, 10, TRUE);
}

INT_PTR CProgressDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      if (wParam == TIMER_INSTALL) OnInstallTimer();
      else if (wParam == TIMER_PROGRESS) OnProgressTimer();
      return TRUE;
    case WM_ERASEBKGND:
      SetMessageResult(1);
      return TRUE;
    case WM_DESTROY:
      if (m_bSocketsStarted) ::WSACleanup();
      m_bSocketsStarted = false;
      return FALSE;
  }
  return CPageDlg::OnMessage(msg, wParam, lParam);
}
