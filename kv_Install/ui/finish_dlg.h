// Last page: tells how the install ended and starts the installed updater.
#pragma once

#include "framework/dialog.h"

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

  HWND m_pBtnStart = nullptr;
  HBITMAP m_hTopImage = nullptr;
  int m_nTopImageHeight = 0;
  bool m_bOutcomeShown = false;
};
