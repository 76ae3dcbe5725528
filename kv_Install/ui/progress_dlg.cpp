#include "ui/progress_dlg.h"

#include <winsock2.h>
#include <commctrl.h>
#include <objbase.h>

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
  void StepIt() override { ::SendMessageW(bar_, PBM_STEPIT, 0, 0); }
  int GetPos() const override { return static_cast<int>(::SendMessageW(bar_, PBM_GETPOS, 0, 0)); }

 private:
  HWND bar_;
};

// The actions as the step's own thread performs them: the two that belong to
// the window's thread are asked of the page, which answers before the step
// goes on.
class StepThreadActions : public Win32InstallActions {
 public:
  StepThreadActions(HWND page, const ReportIdentity& identity) : Win32InstallActions(page, identity), page_(page) {}
  bool AskToEndRunningClient() override { return ::SendMessageW(page_, WM_STEP_ASK_END_CLIENT, 0, 0) == 1; }
  void EndInstaller(int exitStatus) override {
    ::SendMessageW(page_, WM_STEP_END_INSTALLER, static_cast<WPARAM>(exitStatus), 0);
  }

 private:
  HWND page_;
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
  ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(kProgressMin, kProgressMax));
  ::SendMessageW(bar, PBM_SETSTEP, kProgressStep, 0);
  // A flat bar: no border, no edges.
  ::SetWindowLongW(bar, GWL_STYLE, ::GetWindowLongW(bar, GWL_STYLE) & ~WS_BORDER);
  ::SetWindowLongW(bar, GWL_EXSTYLE,
                   ::GetWindowLongW(bar, GWL_EXSTYLE) & ~(WS_EX_STATICEDGE | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE));
  ::SetWindowPos(bar, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

  m_bInstallDone = 0;
  return TRUE;
}

void CProgressDlg::OnInstallTimer() {
  ::KillTimer(m_hWnd, TIMER_INSTALL);
  if (m_bStepStarted) return;
  m_bStepStarted = true;
  m_stepThread.reset(::CreateThread(nullptr, 0, &CProgressDlg::StepThread, this, 0, nullptr));
  if (!m_stepThread) {
    // No thread to be had: the step runs here, and the window waits for it.
    Win32InstallActions actions(m_hWnd, m_identity);
    (void)RunInstallStep(m_state, actions);
    OnStepDone();
  }
}

DWORD WINAPI CProgressDlg::StepThread(void* param) {
  auto* page = static_cast<CProgressDlg*>(param);
  // The shortcuts are COM objects of this thread's own apartment.
  const HRESULT com = ::CoInitialize(nullptr);
  StepThreadActions actions(page->m_hWnd, page->m_identity);
  (void)RunInstallStep(page->m_state, actions);  // the outcome is kept in the install state
  if (SUCCEEDED(com)) ::CoUninitialize();
  ::PostMessageW(page->m_hWnd, WM_STEP_DONE, 0, 0);
  return 0;
}

void CProgressDlg::OnStepDone() {
  if (m_stepThread) (void)::WaitForSingleObject(m_stepThread.get(), INFINITE);  // it has only to return
  m_stepThread.reset();
  m_bInstallDone = 1;
}

void CProgressDlg::OnProgressTimer() {
  ProgressControl bar(GetDlgItem(IDC_PROGRESS));
  const bool succeeded = m_bInstallDone && m_state.m_outcome == InstallOutcome::Installed;
  switch (ProgressTick(bar, m_bInstallDone, m_state.m_bRunAfterInstall, succeeded)) {
    case TickAction::None:
      break;
    case TickAction::StartUpdater:
      StartUpdater(m_state.m_strInstallDir);
      ::PostQuitMessage(0);
      break;
    case TickAction::ShowFinish:
      ::PostMessageW(::GetParent(m_hWnd), WM_INSTALL_FINISHED, 0, 0);
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
    case WM_STEP_ASK_END_CLIENT:
      SetMessageResult(Win32InstallActions(m_hWnd, m_identity).AskToEndRunningClient() ? 1 : 0);
      return TRUE;
    case WM_STEP_END_INSTALLER:
      Win32InstallActions(m_hWnd, m_identity).EndInstaller(static_cast<int>(wParam));
      return TRUE;
    case WM_STEP_DONE:
      OnStepDone();
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
