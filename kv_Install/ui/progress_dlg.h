// Second page: the progress bar, and the carrier of the install pipeline.
// Its two timers (set by the main window) run the install step once and step
// the bar every second until the install is complete.
#pragma once

#include "core/install_state.h"
#include "report/identity.h"
#include "ui/page_dlg.h"

class CProgressDlg : public CPageDlg {
 public:
  // The install step runs on state and keeps its outcome there.
  explicit CProgressDlg(InstallState& state);

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnInstallTimer();
  void OnProgressTimer();
  void Layout(int cx, int cy) override;

  InstallState& m_state;
  ReportIdentity m_identity;
  int m_bInstallDone = 0;
  bool m_bSocketsStarted = false;
};
