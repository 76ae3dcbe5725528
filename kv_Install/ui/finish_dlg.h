// Last page: tells how the install ended and starts the installed updater.
#pragma once

#include <memory>

#include "framework/dialog.h"
#include "skin/arc_btn.h"

class CFinishDlg : public CDialog {
 public:
  CFinishDlg() : CDialog(132) {}
  ~CFinishDlg() override;

  // Shows the outcome of the install step on the page.
  void ShowOutcome();

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Layout(int cx, int cy);
  void OnStart();
  void OnPaint();

  std::unique_ptr<CArcBtn> m_pBtnStart;
  HBITMAP m_hTopImage = nullptr;
  int m_nTopImageHeight = 0;
  bool m_bOutcomeShown = false;
};
