#include "skin/control_support.h"

#include <commctrl.h>

BOOL TrackHoverAndLeave(HWND hwnd) {
  TRACKMOUSEEVENT tme = {};
  tme.cbSize = sizeof tme;
  tme.dwFlags = TME_HOVER | TME_LEAVE;
  tme.hwndTrack = hwnd;
  tme.dwHoverTime = 10;
  return ::_TrackMouseEvent(&tme);
}

void ShowHandCursor() { (void)::SetCursor(::LoadCursorA(nullptr, IDC_HAND)); }

void InvalidateParentUnder(HWND hwnd) {
  HWND parent = ::GetParent(hwnd);
  if (parent == nullptr) return;
  RECT rc;
  (void)::GetWindowRect(hwnd, &rc);
  POINT corners[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
  (void)::ScreenToClient(parent, &corners[0]);
  (void)::ScreenToClient(parent, &corners[1]);
  rc = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  (void)::InvalidateRect(parent, &rc, TRUE);
}

bool HandleButtonKeys(HWND button, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_GETDLGCODE: {
      *result = ::DefSubclassProc(button, msg, wParam, lParam);
      const MSG* key = reinterpret_cast<const MSG*>(lParam);
      if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) *result |= DLGC_WANTMESSAGE;
      return true;
    }
    case WM_KEYDOWN:
      if (wParam != VK_RETURN) return false;
      (void)::SendMessageW(button, BM_CLICK, 0, 0);
      *result = 0;
      return true;
    default:
      return false;
  }
}
