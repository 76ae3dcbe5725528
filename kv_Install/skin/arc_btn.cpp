#include "skin/arc_btn.h"

#include <optional>

#include "base/gdi.h"
#include "skin/control_support.h"
#include "skin/dc_surface.h"
#include "skin/skin_messages.h"
#include "skin/theme.h"

CArcBtn::CArcBtn()
    : m_crFill(theTheme.m_clrBlack),
      m_crFillPressed(theTheme.m_clrBlack),
      m_crText(theTheme.m_clrWhite),
      m_crTextPressed(theTheme.m_clrWhite) {
  MakePensAndBrushes();
}

void CArcBtn::MakePensAndBrushes() {
  m_pen.reset(::CreatePen(PS_SOLID, 1, m_crFill));
  m_penPressed.reset(::CreatePen(PS_SOLID, 1, m_crFillPressed));
  m_brush.reset(::CreateSolidBrush(m_crFill));
  m_brushPressed.reset(::CreateSolidBrush(m_crFillPressed));
}

void CArcBtn::SetColors(COLORREF fill, COLORREF fillPressed) {
  m_crFill = fill;
  m_crFillPressed = fillPressed;
  MakePensAndBrushes();
}

void CArcBtn::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  ModifyStyle(0, WS_CLIPCHILDREN | BS_OWNERDRAW);
}

// The GDI rounded rectangle one pixel past right and bottom, the
// anti-aliased outline on the rectangle itself, then the fills that square
// off corners.
void CArcBtn::DrawShape(HDC dc, const RECT& rc, COLORREF colour) {
  const ArcShape shape = ArcButtonShape(m_nCornerStyle, ToSkinRect(rc), m_nCornerSize, m_nSquareOff);
  if (!shape.rounded) return;
  (void)::RoundRect(dc, rc.left, rc.top, rc.right + 1, rc.bottom + 1, m_nCornerSize, m_nCornerSize);
  DcSurface surface(dc);
  m_graphics.DrawRoundRect(surface, rc.left, rc.top, rc.right, rc.bottom, m_nCornerSize, m_nCornerSize, colour);
  for (int i = 0; i < shape.fillCount; ++i) {
    const SolidFill& f = shape.fills[i];
    FillSolidRect(dc, f.x, f.y, f.cx, f.cy, colour);
  }
}

void CArcBtn::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  HGDIOBJ font = theTheme.m_fontButton.get();
  ScopedSelect selectFont(dc, font != nullptr ? font : ::GetCurrentObject(dc, OBJ_FONT));
  wchar_t caption[512] = {};
  (void)::GetWindowTextW(m_hWnd, caption, 512);
  m_nState = SelectButtonState(m_nMode, m_bHover != 0, item.itemState, &m_bLatched, m_nState);

  UniqueMemoryDc memory(::CreateCompatibleDC(dc));
  COLORREF text = m_crText;
  HGDIOBJ face = m_bmpNormal.get();
  switch (m_nState) {
    case BUTTON_STATE_HOVER:
      face = m_bmpHover.get();
      break;
    case BUTTON_STATE_PRESSED:
      text = m_crTextPressed;
      face = m_bmpPressed.get();
      break;
    case BUTTON_STATE_LATCHED:
      face = m_bmpLatched.get();
      break;
    default:
      break;
  }
  std::optional<ScopedSelect> selectFace;
  if (face != nullptr && memory) selectFace.emplace(memory.get(), face);

  RECT rc = item.rcItem;
  (void)::SetBkMode(dc, TRANSPARENT);
  if (caption[0] != L'\0') {
    (void)::SetTextColor(dc, theTheme.Ink(kInkButtonText, text));
    const bool pressed = m_nState == BUTTON_STATE_PRESSED;
    const bool contrast = theTheme.m_bHighContrast;
    const COLORREF fill = theTheme.Ink(kInkButtonFace, pressed ? m_crFillPressed : m_crFill);
    HGDIOBJ pen = (pressed ? m_penPressed : m_pen).get();
    HGDIOBJ brush = (pressed ? m_brushPressed : m_brush).get();
    if (contrast) {
      // The system's button face, with the DC's own pen and brush.
      pen = ::GetStockObject(DC_PEN);
      brush = ::GetStockObject(DC_BRUSH);
      (void)::SetDCPenColor(dc, fill);
      (void)::SetDCBrushColor(dc, fill);
    }
    ScopedSelect selectPen(dc, pen);
    ScopedSelect selectBrush(dc, brush);
    RECT shape = rc;
    if (pressed) (void)::OffsetRect(&shape, 1, 1);
    DrawShape(dc, shape, fill);
    // In high contrast the face has an edge in the button text's colour.
    if (contrast) DrawInnerOutline(dc, shape, m_nCornerSize, {0, m_focusCue.width}, theTheme.Ink(kInkButtonText, 0));
    (void)::DrawTextW(dc, caption, -1, &shape, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (ShowsFocusCue(m_hWnd, item.itemState)) {
      DrawInnerOutline(dc, shape, m_nCornerSize, m_focusCue, theTheme.Ink(kInkFocus, theTheme.m_clrWhite));
    }
    rc.left += 10;
  }
  if (m_bmpNormal && memory) {
    BITMAP bm = {};
    (void)::GetObjectA(m_bmpNormal.get(), sizeof bm, &bm);
    (void)::StretchBlt(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memory.get(), 0, 0, bm.bmWidth,
                       bm.bmHeight, SRCCOPY);
  }
}

LRESULT CArcBtn::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (LRESULT result = 0; HandleButtonKeys(m_hWnd, msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_MOUSEHOVER:
      m_bHover = 1;
      Invalidate(true);
      break;
    case WM_MOUSEMOVE: {
      const RECT client = GetClientRect();
      if (!::PtInRect(&client, MousePoint(lParam))) {
        m_bHover = 0;
        Invalidate(true);
      }
      const LRESULT result = Default(msg, wParam, lParam);
      if (HWND parent = GetParent()) (void)::SendMessageW(parent, WM_MOUSEMOVE, 0, 0);
      if (!m_bTracking) m_bTracking = TrackHoverAndLeave(m_hWnd);
      return result;
    }
    case WM_MOUSELEAVE:
      m_bHover = 0;
      m_bTracking = 0;
      Invalidate(true);
      break;
    case WM_LBUTTONDOWN: {
      HWND parent = GetParent();
      if (m_nMode == 1 && parent != nullptr) (void)::PostMessageW(parent, WM_SKINBTN_CLICK, 0, GetDlgCtrlID());
      if (parent != nullptr) InvalidateParentUnder(m_hWnd);
      break;
    }
    case WM_LBUTTONUP:
      if (HWND parent = GetParent(); m_nMode == 0 && parent != nullptr) {
        (void)::PostMessageW(parent, WM_SKINBTN_CLICK, 0, GetDlgCtrlID());
      }
      break;
    case WM_SETCURSOR:
      ShowHandCursor();
      return TRUE;
    case WM_ERASEBKGND:
      return TRUE;
    default:
      return CButton::WindowProc(msg, wParam, lParam);
  }
  return Default(msg, wParam, lParam);
}
