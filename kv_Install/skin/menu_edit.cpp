#include "skin/menu_edit.h"

#include "base/gdi.h"
#include "skin/button_rules.h"
#include "skin/control_support.h"
#include "skin/theme.h"

namespace {

constexpr WPARAM kMaskChar = '*';

}  // namespace

CMenuEdit::CMenuEdit() : m_crBack(theTheme.m_clrEditFrame), m_pFont(&theTheme.m_fontText) {
  m_brBack.reset(::CreateSolidBrush(m_crBack));
}

void CMenuEdit::SetDisplayText(const std::string& text) {
  if (m_bPassword && text != m_strPlaceholder) (void)::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, kMaskChar, 0);
  SetWindowText(text.c_str());
}

// The bands come from the height of "Ky" in m_pFont; the client area keeps
// one line between them.
void CMenuEdit::OnNcCalcSize(RECT* proposed) {
  SIZE extent = {0, 0};
  {
    ScopedClientDC dc(m_hWnd);
    HGDIOBJ font = m_pFont != nullptr ? m_pFont->get() : nullptr;
    ScopedSelect selectFont(dc.get(), font != nullptr ? font : ::GetCurrentObject(dc.get(), OBJ_FONT));
    (void)::GetTextExtentPoint32W(dc.get(), L"Ky", 2, &extent);
  }
  const MenuEditBands bands = MenuEditLayout(ToSkinRect(m_rcLayout), extent.cy);
  m_rcTopBand = ToRect(bands.top);
  m_rcBottomBand = ToRect(bands.bottom);
  *proposed = ToRect(MenuEditClient(ToSkinRect(*proposed), bands.pad, m_nTextMargin));
}

void CMenuEdit::OnNcPaint() {
  ScopedWindowDC dc(m_hWnd);
  m_brBack.reset(::CreateSolidBrush(theTheme.Ink(kInkGround, m_crBack)));
  HBRUSH brush = static_cast<HBRUSH>(m_brBack.get());
  (void)::FillRect(dc.get(), &m_rcTopBand, brush);
  (void)::FillRect(dc.get(), &m_rcBottomBand, brush);
  if (!theTheme.m_bHighContrast) return;
  // In high contrast the box's top and bottom edge (its parent draws the sides).
  RECT top = m_rcTopBand;
  RECT bottom = m_rcBottomBand;
  top.bottom = top.top + 1;
  bottom.top = bottom.bottom - 1;
  HBRUSH edge = ::GetSysColorBrush(COLOR_WINDOWTEXT);
  if (top.top < m_rcTopBand.bottom) (void)::FillRect(dc.get(), &top, edge);
  if (bottom.top >= m_rcBottomBand.top) (void)::FillRect(dc.get(), &bottom, edge);
}

LRESULT CMenuEdit::OnCtlColor(HDC dc) {
  (void)::SetTextColor(dc, theTheme.Ink(kInkText, ShowsPlaceholder() ? m_crPlaceholder : m_crTextColor));
  (void)::SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(m_brBack.get());
}

LRESULT CMenuEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCPAINT: {
      const LRESULT result = Default(msg, wParam, lParam);
      OnNcPaint();
      return result;
    }
    case Reflected(WM_CTLCOLOREDIT):
      return OnCtlColor(reinterpret_cast<HDC>(wParam));
    case WM_NCCALCSIZE:
      // Both forms start with the rectangle to change (rgrc[0] or the RECT).
      OnNcCalcSize(reinterpret_cast<RECT*>(lParam));
      break;
    case WM_LBUTTONDOWN:
      if (ShowsPlaceholder()) SetDisplayText("");
      break;
    case WM_KILLFOCUS:
      if (GetWindowText().empty()) {
        (void)::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, 0, 0);
        SetDisplayText(m_strPlaceholder);
      }
      break;
    case WM_KEYDOWN:
      // There is no message pre-translation here: the first key in the
      // placeholder state clears it before the key's own handling.
      if (ShowsPlaceholder()) SetDisplayText("");
      if (m_bPassword) (void)::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, kMaskChar, 0);
      break;
    default:
      break;
  }
  return CEdit::WindowProc(msg, wParam, lParam);
}
