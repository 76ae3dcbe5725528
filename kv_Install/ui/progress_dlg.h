// Second page: the progress bar, and the carrier of the install pipeline.
// Its two timers (set by the main window) run the install step once and step
// the bar every second until the install is complete.
//
// The step runs on a thread of its own, so that the window keeps answering
// through every wait of the install (a running client's end, each report, a
// large unpacking): it repaints, the close button hovers, the close paths
// show their notice and the bar steps. The rules that keep the step whole:
//  - TIMER_INSTALL starts the step once: the timer is killed first, and a
//    step that has started is never started again.
//  - The step's thread reads the install state and writes only its outcome;
//    the window's thread reads the outcome only after WM_STEP_DONE, which
//    the step posts after its last action. Until then m_bInstallDone is 0,
//    so no tick completes the install and the finish page or the updater
//    cannot come early.
//  - The question box belongs to the window's thread: the step sends
//    WM_STEP_ASK_END_CLIENT and waits for the answer. After a refusal the
//    step returns at once, and the window's thread ends the installer once
//    the step's thread is gone.
//  - Nothing closes the page while the step runs: every close path shows the
//    notice while this page is visible, and the unattended window ignores
//    close requests and goes only at WM_INSTALL_FINISHED. Should the page go
//    all the same, its WM_DESTROY waits for the step, and the program waits
//    for the step before it exits.
//  - From the install request until the step has finished, the session's
//    end is blocked with a reason the system shows.
#pragma once

#include "base/handles.h"
#include "core/install_state.h"
#include "report/identity.h"
#include "ui/page_dlg.h"

// How a wait for the step ended.
enum class StepWait { Ended, TimedOut, Failed };

class CProgressDlg : public CPageDlg {
 public:
  // The install step runs on state and keeps its outcome there.
  explicit CProgressDlg(InstallState& state);

  // Sets the install timers on this page and blocks the session's end until
  // the step has finished.
  void StartInstall();
  bool InstallRequested() const { return m_bInstallRequested; }
  // True from StartInstall until the step has finished.
  bool InstallUnfinished() const { return m_bInstallRequested && !m_bInstallDone; }
  // Waits up to timeoutMs (or INFINITE) for the step's thread to end,
  // answering what the step sends meanwhile (a question is answered "no",
  // with no box). Ended when no step runs any more; Failed (said on
  // standard error) when the wait itself failed.
  StepWait WaitForStep(DWORD timeoutMs);

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnInstallTimer();
  void OnStepDone();
  void JoinStep();
  void OnProgressTimer();
  static DWORD WINAPI StepThread(void* page);
  void Layout(int cx, int cy) override;

  InstallState& m_state;
  ReportIdentity m_identity;
  int m_bInstallDone = 0;
  UniqueHandle m_stepThread;
  bool m_bStepStarted = false;
  bool m_bInstallRequested = false;
  bool m_bWaitingForStep = false;   // inside WaitForStep: no question box
  HWND m_hSessionBlock = nullptr;   // the window whose session-end block reason is set
};
