// An owner-drawn push button whose face is a PNG with alpha, blended over
// what the parent painted under it.
// Besides BN_CLICKED it posts WM_SKINBTN_CLICK (lParam: its control ID) when
// the left button is released over it, or Enter or Space press it, and
// WM_MOUSELEAVE when the mouse leaves it. With the keyboard focus it shows a
// light outline inside its edge; in a high-contrast theme it has an edge.
//
// Use: create the window with CButton::Create (an ordinary child style; the
// owner-draw style is added when subclassed), then SizeToContent. The
// parent must be a CDialog (or reflect WM_DRAWITEM with ReflectToChild) and
// paint its own background under the button.
#pragma once

#include "framework/controls.h"
#include "skin/button_rules.h"
#include "skin/image.h"

class CPngButton : public CButton {
 public:
  // Loads the faces: the normal one, and the hover one also for pressed and
  // latched, each premultiplied.
  CPngButton();

  // Loads the faces drawn for dpi; SizeToContent then takes their size.
  void LoadFaces(int dpi);

  // Resizes the window to its caption (theme button font) and normal face,
  // keeping its place; nothing changes without either.
  void SizeToContent();

  // Face sizes, copied from the images when they are loaded.
  int m_nNormalWidth = 0, m_nNormalHeight = 0;
  int m_nHoverWidth = 0, m_nHoverHeight = 0;  // the height centres every face
  int m_nLatchedWidth = 0, m_nLatchedHeight = 0;
  int m_nPressedWidth = 0, m_nPressedHeight = 0;
  int m_nMode = 0;        // 0 momentary, 1 latching
  BOOL m_bLatched = 0;    // set by every left-button press, never cleared
  BOOL m_bHover = 0;      // the mouse is over the button
  BOOL m_bTracking = 0;   // a hover/leave request is outstanding
  BOOL m_bHandCursor = 1;
  CImage m_imgNormal;
  CImage m_imgHover;
  CImage m_imgLatched;
  CImage m_imgPressed;
  COLORREF m_crText = RGB(0, 0, 0);
  int m_nTextPos = -2;       // -2 centred, -1 below the centre, > 0 beside the normal face
  BOOL m_bTrackEnabled = 0;  // set once the faces are loaded
  BOOL m_bRedrawParent = 1;  // hover and leave repaint the parent under the button
  // The caption only names the button (screen readers read it): it is neither
  // drawn nor measured.
  BOOL m_bCaptionHidden = 0;
  FocusCue m_focusCue = {3, 1};  // the focus cue and the high-contrast edge's width, at the owner's scale
  int m_nState = BUTTON_STATE_NORMAL;

 protected:
  void PreSubclassWindow() override;
  void DrawItem(const DRAWITEMSTRUCT& item) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void InvalidateParentArea() const;
  const CImage& FaceFor(int state) const;
};
