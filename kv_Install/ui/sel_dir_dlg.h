// First page: the installation folder and the two options.
#pragma once

#include "framework/dialog.h"

class CSelDirDlg : public CDialog {
 public:
  CSelDirDlg() : CDialog(130) {}
  ~CSelDirDlg() override;

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Layout(int cx);
  void OnBrowse();
  void OnInstall();
  void OnPaint();

  HWND m_pBtnBrowse = nullptr;
  HWND m_pBtnInstall = nullptr;
  HWND m_pBtnCancel = nullptr;
  int m_nTopImageHeight = 0;
  HBITMAP m_hTopImage = nullptr;
};
