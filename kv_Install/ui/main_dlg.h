// The installer's only top-level window: a borderless dialog with a dark
// caption band, a close button and the three pages as child dialogs.
#pragma once

#include <memory>

#include "framework/dialog.h"
#include "skin/png_button.h"
#include "ui/finish_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/sel_dir_dlg.h"

class Ckv_InstallDlg : public CDialog {
 public:
  Ckv_InstallDlg();

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage() override;

 private:
  void OnStartInstall();
  void OnInstallFinished();
  void OnCloseButton();
  void OnPaint();
  void StartInstallTimers();
  void FocusPage(const CDialog& page);
  CDialog* VisiblePage();

  HICON m_hIcon;
  CSelDirDlg m_dirPage;
  CProgressDlg m_progressPage;
  CFinishDlg m_finishPage;
  int m_nCaptionHeight = 43;
  std::unique_ptr<CPngButton> m_pBtnClose;
};
