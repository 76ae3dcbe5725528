#include "ui/progress_dlg.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "core/error_lines.h"
#include "core/install_actions_win.h"
#include "core/install_job_win.h"
#include "core/install_step.h"
#include "core/process.h"
#include "core/progress_tick.h"
#include "res/resource.h"
#include "skin/skin_scale.h"
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

// What Windows shows beside the installer while it holds up a logoff or a
// shutdown.
constexpr wchar_t kSessionBlockReason[] = L"正在安装 Kelvane，请稍候";

// The actions as the step's own thread performs them: the question belongs
// to the window's thread and is asked of the page, which answers before the
// step goes on. The end after a refusal is the window's thread's too, once
// this thread has returned (OnStepDone): ending the process from here would
// leave the window's thread in the middle of whatever it does.
class StepThreadActions : public Win32InstallActions {
 public:
  StepThreadActions(HWND page, const ReportIdentity& identity) : Win32InstallActions(page, identity), page_(page) {}
  bool AskToEndRunningClient() override { return ::SendMessageW(page_, WM_STEP_ASK_END_CLIENT, 0, 0) == 1; }
  bool AskToWaitForHeldFile(const std::string& question) override {
    return ::SendMessageW(page_, WM_STEP_ASK_HELD_FILE, 0, reinterpret_cast<LPARAM>(&question)) == 1;
  }
  void EndInstaller(int) override {}

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
    // Its questions come to this page all the same (sent to oneself, a
    // message is a call).
    StepThreadActions actions(m_hWnd, m_identity);
    (void)RunInstallJob(m_state, actions);
    OnStepDone();
  }
}

DWORD WINAPI CProgressDlg::StepThread(void* param) {
  auto* page = static_cast<CProgressDlg*>(param);
  HWND window = page->m_hWnd;  // the page outlives this thread (WM_DESTROY waits for it)
  {
    StepThreadActions actions(window, page->m_identity);
    (void)RunInstallJob(page->m_state, actions);  // the outcome is kept in the install state
  }
  ::PostMessageW(window, WM_STEP_DONE, 0, 0);
  return 0;
}

void CProgressDlg::StartInstall() {
  m_bInstallRequested = true;
  ::SetTimer(m_hWnd, TIMER_INSTALL, 100, nullptr);
  ::SetTimer(m_hWnd, TIMER_PROGRESS, 1000, nullptr);
  // Only a top-level window, the main window, can hold up the session's end.
  m_hSessionBlock = ::GetParent(m_hWnd);
  // Only the reason: the refusal itself is the main window's answer to
  // WM_QUERYENDSESSION.
  (void)::ShutdownBlockReasonCreate(m_hSessionBlock, kSessionBlockReason);
}

// The step is over: its thread has ended, so its last write to the install
// state is seen from here on, and the session may end again.
void CProgressDlg::JoinStep() {
  if (m_stepThread) (void)::WaitForSingleObject(m_stepThread.get(), INFINITE);
  m_stepThread.reset();
  m_bInstallDone = 1;
  if (m_hSessionBlock != nullptr) (void)::ShutdownBlockReasonDestroy(m_hSessionBlock);
  m_hSessionBlock = nullptr;
}

void CProgressDlg::OnStepDone() {
  if (m_bInstallDone) return;  // WaitForStep has seen it end
  JoinStep();
  if (m_state.m_outcome == InstallOutcome::Refused) {
    Win32InstallActions(m_hWnd, m_identity).EndInstaller(InstallExitStatus(m_state.m_outcome));
  }
}

StepWait CProgressDlg::WaitForStep(DWORD timeoutMs) {
  if (!m_stepThread) return StepWait::Ended;
  const DWORD start = ::GetTickCount();
  StepWait result = StepWait::TimedOut;
  m_bWaitingForStep = true;
  for (;;) {
    const DWORD elapsed = ::GetTickCount() - start;
    const DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;  // INFINITE: some 49 days
    HANDLE thread = m_stepThread.get();
    const DWORD woken = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0) {
      result = StepWait::Ended;
      break;
    }
    if (woken == WAIT_TIMEOUT) break;
    if (woken != WAIT_OBJECT_0 + 1) {
      // Not a time-out: the wait itself failed, and the step may still run.
      char line[80];
      (void)std::snprintf(line, sizeof line, "could not wait for the install (system error %lu)", ::GetLastError());
      WriteErrorLine(line);
      result = StepWait::Failed;
      break;
    }
    // The step waits for an answer: peeking answers the sent messages and
    // takes nothing from the queue.
    MSG msg;
    (void)::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  m_bWaitingForStep = false;
  if (result == StepWait::Ended) JoinStep();
  return result;
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
  const ProgressPageLayout l = LayOutProgressPage(m_nDpi, cx, m_nTopImageHeight);
  PlaceControl(IDC_STATIC, l.label);
  PlaceControl(IDC_PROGRESS, l.bar);
}

INT_PTR CProgressDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      if (wParam == TIMER_INSTALL) OnInstallTimer();
      else if (wParam == TIMER_PROGRESS) OnProgressTimer();
      return TRUE;
    case WM_STEP_ASK_END_CLIENT:
      // While the program waits to end, nobody is there to answer: "no".
      SetMessageResult(!m_bWaitingForStep && Win32InstallActions(m_hWnd, m_identity).AskToEndRunningClient() ? 1 : 0);
      return TRUE;
    case WM_STEP_ASK_HELD_FILE:
      // Unattended, nobody is asked: the file is given up after one round,
      // and so it is while the program waits to end.
      SetMessageResult(!m_state.m_bAdmin && !m_bWaitingForStep &&
                               Win32InstallActions(m_hWnd, m_identity)
                                   .AskToWaitForHeldFile(*reinterpret_cast<const std::string*>(lParam))
                           ? 1
                           : 0);
      return TRUE;
    case WM_STEP_DONE:
      OnStepDone();
      return TRUE;
    case WM_ERASEBKGND:
      SetMessageResult(1);
      return TRUE;
    case WM_DESTROY:
      // The step reads this page's state and identity: it ends first.
      (void)WaitForStep(INFINITE);
      return FALSE;
  }
  return CPageDlg::OnMessage(msg, wParam, lParam);
}
