// The two native controls the skin builds on. A CButton answers the
// WM_DRAWITEM its parent reflects with DrawItem; a CEdit is a plain edit.
#pragma once

#include <windows.h>

#include "framework/wnd.h"

class CButton : public CWnd {
 public:
  // A "BUTTON" child window: caption, style, rectangle, parent, control ID.
  bool Create(const char* caption, DWORD style, const RECT& rect, HWND parent, int id) {
    return CWnd::Create("BUTTON", caption, style, rect, parent, id);
  }

 protected:
  // The owner-draw request, reflected by the parent.
  virtual void DrawItem(const DRAWITEMSTRUCT&) {}
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == Reflected(WM_DRAWITEM)) {
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

class CEdit : public CWnd {
 public:
  bool Create(DWORD style, const RECT& rect, HWND parent, int id) {
    return CWnd::Create("EDIT", "", style, rect, parent, id);
  }
};
