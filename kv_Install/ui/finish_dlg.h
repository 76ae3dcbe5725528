// Last page: tells how the install ended and starts the installed updater.
#pragma once

#include <memory>

#include "core/install_state.h"
#include "skin/arc_btn.h"
#include "ui/page_dlg.h"

class CFinishDlg : public CPageDlg {
 public:
  // state: the install whose outcome the page shows.
  explicit CFinishDlg(const InstallState& state);

  // Shows the outcome of the install step on the page.
  void ShowOutcome();

 protected:
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  bool InstallSucceeded() const { return m_state.m_outcome == InstallOutcome::Installed; }
  void Layout(int cx, int cy) override;
  void OnStart();

  const InstallState& m_state;
  std::unique_ptr<CArcBtn> m_pBtnStart;
  bool m_bOutcomeShown = false;
};
