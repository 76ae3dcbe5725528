// The bases of the installer's skinned windows. CSkinDlg paints the whole
// client area itself; CPageDlg, the page base, adds what the three wizard
// pages share: the skin's top image over a dark page, the colours of their
// static texts (the system's in a high-contrast theme) and their text
// buttons, which are tab stops.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "base/handles.h"
#include "framework/dialog.h"
#include "skin/arc_btn.h"
#include "skin/button_rules.h"

class CSkinDlg : public CDialog {
 public:
  using CDialog::CDialog;

  // Draws the client area into dc. Every object selected into dc, and every
  // colour and mode set on it, is as it was before when this returns.
  void Paint(HDC dc);

 protected:
  virtual void Draw(HDC dc, const RECT& client) = 0;
  // WM_PAINT, through a paint DC; a derived window's switch ends here.
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class CPageDlg : public CSkinDlg {
 public:
  // Takes the display scale: the top image drawn for it, the controls' font
  // made for it, and the layout again.
  void ApplyDpi(int dpi);
  int Dpi() const { return m_nDpi; }

 protected:
  // ground: the fill of the whole page before the top image is drawn, or
  // CLR_NONE to leave it.
  CPageDlg(int templateId, int topImageId, COLORREF ground)
      : CSkinDlg(templateId), m_nTopImageId(topImageId), m_crGround(ground) {}

  // Loads the top image and keeps the template's font as the model of the
  // page's font; a page's own initialisation runs this first.
  BOOL OnInitDialog() override;
  // The ground, the top image at the top-left corner, and below it the
  // page's dark fill.
  void Draw(HDC dc, const RECT& client) override;
  // WM_SIZE to Layout and the static texts' colours; the rest goes to
  // CSkinDlg.
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Places the page's controls for a client area of cx by cy at m_nDpi.
  virtual void Layout(int cx, int cy) = 0;
  // Moves a text button to rect and gives it the scale's corners (rounded
  // or square).
  void PlaceTextButton(CArcBtn* button, const SkinRect& rect, bool rounded) const;
  void PlaceControl(int id, const SkinRect& rect) const;

  // A text button with white captions on fill, created at rect with control
  // ID id. Corners and size are the caller's.
  std::unique_ptr<CArcBtn> MakeTextButton(const char* text, int id, const RECT& rect, COLORREF fill) const;
  int m_nTopImageHeight = 0;
  int m_nDpi = 96;

 private:
  int m_nTopImageId;
  COLORREF m_crGround;
  UniqueBitmap m_bmpTop;
  LOGFONTW m_lfTemplate = {};  // the template's font, the model of m_font
  UniqueFont m_font;           // the page's controls' font at m_nDpi
  UniqueGdiObject m_brPage;    // the ground of the statics and check boxes
};
