// First page: the installation folder and the two options.
#pragma once

#include <memory>
#include <string>

#include "core/folder_rules.h"
#include "core/install_state.h"
#include "skin/arc_btn.h"
#include "skin/menu_edit.h"
#include "ui/page_dlg.h"

class CSelDirDlg : public CPageDlg {
 public:
  // The install command stores the choices in state; appName captions the
  // box that refuses a folder.
  CSelDirDlg(InstallState& state, const std::string& appName);

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Layout(int cx, int cy) override;
  void OnBrowse();
  void OnInstall();
  // Tells the user why the folder cannot be taken and gives the box the focus.
  void RefuseFolder(FolderProblem problem);

  InstallState& m_state;
  const std::string& m_strAppName;
  std::unique_ptr<CArcBtn> m_pBtnBrowse;
  std::unique_ptr<CArcBtn> m_pBtnInstall;
  std::unique_ptr<CArcBtn> m_pBtnCancel;
  CMenuEdit m_editDir;  // the folder box
};
