#include "skin/control_support.h"

#include <commctrl.h>

#include "skin/aa_graphics.h"
#include "skin/dc_surface.h"

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

void DrawInnerOutline(HDC dc, const RECT& rc, int cornerSize, FocusCue cue, COLORREF colour) {
  DcSurface surface(dc);
  for (int ring = 0; ring < cue.width; ++ring) {
    const OutlineRing r = InnerRing(ToSkinRect(rc), cornerSize, cue.inset, ring);
    if (r.rect.right == r.rect.left) return;
    CTGraphics().DrawRoundRect(surface, r.rect.left, r.rect.top, r.rect.right, r.rect.bottom, r.corner, r.corner,
                               colour);
  }
}

bool ShowsFocusCue(HWND button, unsigned itemState) {
  return ShowsFocusCue(itemState, static_cast<unsigned>(::SendMessageW(button, WM_QUERYUISTATE, 0, 0)));
}

bool HandleButtonKeys(HWND button, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
      *result = ::DefSubclassProc(button, msg, wParam, lParam);
      if (msg != WM_UPDATEUISTATE || ::GetFocus() == button) InvalidateParentUnder(button);
      return true;
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
