// First page: the installation folder and the two options.
#pragma once

#include <memory>

#include "framework/dialog.h"
#include "skin/arc_btn.h"
#include "skin/menu_edit.h"

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

  std::unique_ptr<CArcBtn> m_pBtnBrowse;
  std::unique_ptr<CArcBtn> m_pBtnInstall;
  std::unique_ptr<CArcBtn> m_pBtnCancel;
  int m_nTopImageHeight = 0;
  HBITMAP m_hTopImage = nullptr;
  CMenuEdit m_editDir;  // the folder box, control 1000
};
