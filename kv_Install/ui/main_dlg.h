// The installer's only top-level window: a borderless dialog with a dark
// caption band, a close button and the three pages as child dialogs.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "base/handles.h"
#include "core/install_state.h"
#include "skin/png_button.h"
#include "ui/finish_dlg.h"
#include "ui/page_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/sel_dir_dlg.h"

// The window property that marks a running installer's main window, so that a
// second installer can bring it to the front.
extern const char kInstallerWindowProperty[];

class Ckv_InstallDlg : public CSkinDlg {
 public:
  // state: the install state of the run, which the pages read and fill;
  // appName: the caption of the message boxes without one of their own.
  Ckv_InstallDlg(InstallState& state, std::string appName);

  // Lays the window out for dpi: its size (the suggested rectangle when
  // given, as WM_DPICHANGED brings it, else the scaled size where it
  // stands), the fonts, the pictures and the pages.
  void ApplyDpi(int dpi, const RECT* suggested);
  int Dpi() const { return m_nDpi; }

  // Returns once no install step runs any more; its outcome is then final.
  void WaitForInstallStep() { (void)m_progressPage.WaitForStep(INFINITE); }

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage() override;
  void Draw(HDC dc, const RECT& client) override;

 private:
  std::array<CPageDlg*, 3> Pages() { return {&m_dirPage, &m_progressPage, &m_finishPage}; }
  void ShowPage(const CPageDlg& shown);
  void FocusPage(const CPageDlg& page);
  CPageDlg* VisiblePage();
  void OnStartInstall();
  void OnInstallFinished();
  void OnCloseButton();

  // How long a session that ends anyway waits for the install step.
  static constexpr DWORD kSessionEndWaitMs = 3000;

  HICON m_hIcon;
  InstallState& m_state;
  const std::string m_strAppName;
  CSelDirDlg m_dirPage;
  CProgressDlg m_progressPage;
  CFinishDlg m_finishPage;
  int m_nCaptionHeight = 43;
  int m_nDpi = 96;
  int m_nTitleLeft = 20;
  std::unique_ptr<CPngButton> m_pBtnClose;
  UniqueFont m_fontCaption;  // the product name in the caption band
};
