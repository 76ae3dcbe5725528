// A one-line edit whose text sits vertically centred in a taller flat box. It grows its non-client area above and below the line
// and paints those bands in m_crBack; the parent reflects the edit's colour
// request to it. An optional placeholder shows while the box is empty, and
// optional masking shows real text as "*". In a high-contrast theme its
// ground and text take the system's window colours.
//
// Use: subclass the template's edit (SubclassDlgItem), set the public
// fields, and set m_rcLayout to (0, 0, width, height) before each move or
// resize: the move makes the system ask for the non-client size again. The
// parent must be a CDialog (or reflect WM_CTLCOLOREDIT with ReflectToChild).
#pragma once

#include <string>

#include "framework/controls.h"
#include "base/handles.h"

class CMenuEdit : public CEdit {
 public:
  CMenuEdit();

  // Masks with "*" when m_bPassword is set and text is not the placeholder,
  // then sets the window text.
  void SetDisplayText(const std::string& text);

  int m_nTextMargin = 0;  // pixels added to the client area's left edge
  COLORREF m_crBack;      // bands and text background; the theme's edit frame colour at first
  UniqueGdiObject m_brBack;  // solid m_crBack, made anew at every non-client paint
  COLORREF m_crTextColor = RGB(255, 255, 255);
  COLORREF m_crPlaceholder = RGB(0, 0, 0);
  RECT m_rcLayout = {};      // (0, 0, width, height) of the window, kept by the owner
  RECT m_rcBottomBand = {};  // window coordinates
  RECT m_rcTopBand = {};
  std::string m_strPlaceholder;
  BOOL m_bPassword = 0;
  // The font the text height is measured with; borrowed, the theme's text
  // font unless the owner points elsewhere.
  const UniqueFont* m_pFont;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  bool ShowsPlaceholder() const { return GetWindowText() == m_strPlaceholder; }
  void OnNcCalcSize(RECT* proposed);
  void OnNcPaint();
  LRESULT OnCtlColor(HDC dc);
};
