// A text button: an owner-drawn push button drawn as a flat, rounded
// rectangle with a centred caption. Pressed, shape and caption move
// one pixel right and down and take the pressed colours. It posts
// WM_SKINBTN_CLICK (lParam: its control ID) on every left-button release in
// momentary mode, wherever the mouse is then, and on every press in latching
// mode; each mouse move over it is also sent on to the parent as
// WM_MOUSEMOVE (0, 0). With the keyboard focus it shows a light outline
// inside its edge; Enter and Space press it. In a high-contrast theme it is
// drawn in the system's button colours, with an edge.
//
// Use: CButton::Create with an ordinary child style, then m_crText and
// m_crTextPressed, SetColors, the size and the corner fields. The parent
// must be a CDialog (or reflect WM_DRAWITEM with ReflectToChild).
#pragma once

#include "framework/controls.h"
#include "base/handles.h"
#include "skin/aa_graphics.h"
#include "skin/button_rules.h"

class CArcBtn : public CButton {
 public:
  // Fill colours from the theme's black, caption colours from its white;
  // makes the pens and brushes.
  CArcBtn();

  // Stores the two fill colours and makes the pens and brushes anew (the
  // old ones are deleted); the next repaint uses them.
  void SetColors(COLORREF fill, COLORREF fillPressed);

  int m_nMode = 0;       // 0 momentary, 1 latching
  BOOL m_bLatched = 0;
  BOOL m_bHover = 0;
  BOOL m_bTracking = 0;
  // Optional face bitmaps for states 0, 1, 3 and 2; nothing loads them in
  // the installer, so they stay empty.
  UniqueGdiObject m_bmpNormal;
  UniqueGdiObject m_bmpHover;
  UniqueGdiObject m_bmpLatched;
  UniqueGdiObject m_bmpPressed;
  COLORREF m_crFill;         // fill and outline in states 0, 1, 3
  COLORREF m_crFillPressed;  // fill and outline in state 2
  COLORREF m_crText;
  COLORREF m_crTextPressed;
  UniqueGdiObject m_pen;
  UniqueGdiObject m_penPressed;
  UniqueGdiObject m_brush;
  UniqueGdiObject m_brushPressed;
  int m_nCornerSize = 0;   // width and height of the corner ellipse
  int m_nSquareOff = 0;    // vertical extent of corner styles 3, 4 and 5
  int m_nCornerStyle = 0;  // 0 all rounded, 1 left, 3 top, 4 bottom, 5 top-left; others no shape
  FocusCue m_focusCue = {3, 1};  // the focus cue and the high-contrast edge's width, at the owner's scale
  CTGraphics m_graphics;
  int m_nState = BUTTON_STATE_NORMAL;

 protected:
  void PreSubclassWindow() override;
  void DrawItem(const DRAWITEMSTRUCT& item) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void MakePensAndBrushes();
  void DrawShape(HDC dc, const RECT& rc, COLORREF colour);
};
