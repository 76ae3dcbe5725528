// What the three skinned controls share on the window side: rectangles
// to and from the plain rules, mouse points, hover tracking, the hand cursor,
// and the buttons' keyboard side: the focus cue and Enter.
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

// An anti-aliased outline `width` px wide, `inset` px inside rc, its corners
// following an ellipse of cornerSize, as the skin draws its edges.
void DrawInnerOutline(HDC dc, const RECT& rc, int cornerSize, FocusCue cue, COLORREF colour);

// Whether the button draws its focus cue now (its item state and its
// window's UI state, WM_QUERYUISTATE).
bool ShowsFocusCue(HWND button, unsigned itemState);

// The keyboard side both skinned buttons share; true, with *result, when msg
// is handled:
//  - a change of focus or of the UI state repaints the button over its
//    parent's ground, so the focus cue comes or goes without a trace;
//  - Enter on the focused button is asked of the dialog manager
//    (WM_GETDLGCODE), which would otherwise press the default button, and
//    clicks it as the mouse does (BM_CLICK).
bool HandleButtonKeys(HWND button, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
