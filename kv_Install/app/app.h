// The application on top of everything else: one object per process, holding
// the install state for the whole run, and the start-up that picks the
// interactive or the unattended run. This folder is the only code that knows
// both the core and the windows.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"
#include "core/install_state.h"

class CWnd;
class Ckv_InstallDlg;

class Ckv_InstallApp : public InstallState {
 public:
  // Prepares the run; false when the process should end now (the modal
  // dialog has closed, or the hidden window could not be created).
  BOOL InitInstance();
  // The unattended run's message loop, until the hidden main window is gone.
  int Run();
  // Exit status of the process, from the install outcome. An unattended run
  // whose install never ran (its loop ended early) did not install
  // anything: never 0; nor is a run whose window could not be made.
  int ExitStatus() const {
    return InstallExitStatus(m_bAdmin && m_outcome == InstallOutcome::NotRun ? InstallOutcome::PayloadFailed
                                                                               : m_outcome);
  }
  // The name message boxes show: the executable's file name without extension.
  std::string AppName() const;

  CWnd* m_pMainWnd = nullptr;

 private:
  // True when another installer runs, on this machine in any session; this
  // one then holds the installers' mutex until the process ends.
  bool AnotherInstallerRuns();
  // The hidden window of the unattended run, made modeless; the wizard, run
  // modally (-1 when it could not be made). A test build makes neither.
  static bool MakeInstallWindow(Ckv_InstallDlg& dlg);
  static INT_PTR ShowWizard(Ckv_InstallDlg& dlg);

  UniqueHandle m_instanceMutex;
};

extern Ckv_InstallApp theApp;
