// What the three skinned controls share on the window side: rectangles
// to and from the plain rules, mouse points, hover tracking, the hand cursor,
// and Enter on the buttons.
#pragma once

#include <windows.h>

#include "skin/button_rules.h"

inline SkinRect ToSkinRect(const RECT& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }
inline RECT ToRect(const SkinRect& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }

// A mouse message's point in client coordinates (negative outside the
// client area while the button has the capture).
inline POINT MousePoint(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// Asks for WM_MOUSEHOVER after 10 ms of stillness and WM_MOUSELEAVE; the
// result is what the button keeps in m_bTracking.
BOOL TrackHoverAndLeave(HWND hwnd);

// The system hand cursor.
void ShowHandCursor();

// Invalidates, with erase, the part of the parent's client area under the
// window, so the parent repaints its background before the window draws.
void InvalidateParentUnder(HWND hwnd);

// The keyboard side both skinned buttons share; true, with *result, when msg
// is handled: Enter on the focused button is asked of the dialog manager
// (WM_GETDLGCODE), which would otherwise press the default button, and
// clicks it as the mouse does (BM_CLICK).
bool HandleButtonKeys(HWND button, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
