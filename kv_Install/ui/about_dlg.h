#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

// "About kv_Install", reached from the system menu.
class CAboutDlg : public CDialog {
 public:
  CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

 protected:
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM) override {
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
      EndDialog(LOWORD(wParam));
      return TRUE;
    }
    return FALSE;
  }
};
