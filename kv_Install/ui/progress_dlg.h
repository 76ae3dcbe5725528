// Second page: the progress bar, and the carrier of the install pipeline.
// Its two timers (set by the main window) run the install step once and step
// the bar every second until the install is complete.
#pragma once

#include "framework/dialog.h"
#include "report/identity.h"

class CProgressDlg : public CDialog {
 public:
  CProgressDlg();
  ~CProgressDlg() override;

  const ReportIdentity& Identity() const { return m_identity; }

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnInstallTimer();
  void OnProgressTimer();
  void Layout(int cx);
  void OnPaint();

  ReportIdentity m_identity;
  int m_bInstallDone = 0;
  int m_nTopImageHeight = 0;
  HBITMAP m_hTopImage = nullptr;
  bool m_bSocketsStarted = false;
};
