#include "ui/page_dlg.h"

#include <algorithm>
#include <utility>

#include "base/gdi.h"
#include "skin/control_support.h"
#include "skin/dpi.h"
#include "skin/skin_scale.h"
#include "skin/theme.h"

namespace {

constexpr COLORREF kPageColour = RGB(45, 45, 45);

int BitmapHeight(HBITMAP bitmap) {
  BITMAP info = {};
  return bitmap != nullptr && ::GetObjectA(bitmap, sizeof info, &info) != 0 ? info.bmHeight : 0;
}

// Copies image to the client's top-left corner, source (0, 0), with the
// client's width and height; only the part the bitmap covers is copied.
void DrawTopImage(HDC dc, HBITMAP image, const RECT& client) {
  BITMAP info = {};
  if (image == nullptr || ::GetObjectA(image, sizeof info, &info) == 0) return;
  const int w = std::min<int>(client.right - client.left, info.bmWidth);
  const int h = std::min<int>(client.bottom - client.top, info.bmHeight);
  UniqueMemoryDc memory(::CreateCompatibleDC(dc));
  ScopedSelect select(memory.get(), image);
  ::BitBlt(dc, client.left, client.top, w, h, memory.get(), 0, 0, SRCCOPY);
}

}  // namespace

void CSkinDlg::Paint(HDC dc) {
  ScopedDcState keep(dc);
  Draw(dc, GetClientRect());
}

INT_PTR CSkinDlg::OnMessage(UINT msg, WPARAM, LPARAM) {
  if (msg != WM_PAINT) return FALSE;
  ScopedPaintDC paint(m_hWnd);
  Paint(paint.get());
  return TRUE;
}

BOOL CPageDlg::OnInitDialog() {
  KeepDialogLayout(m_hWnd);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
  if (font == nullptr || ::GetObjectW(font, sizeof m_lfTemplate, &m_lfTemplate) == 0) {
    (void)::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof m_lfTemplate, &m_lfTemplate);
  }
  // The template's controls keep the skin's colours under a visual style.
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    KeepSkinLook(child);
  }
  m_bmpTop = LoadTopImage(m_nTopImageId, m_nDpi);
  m_nTopImageHeight = BitmapHeight(m_bmpTop.get());
  return TRUE;
}

void CPageDlg::ApplyDpi(int dpi) {
  m_nDpi = dpi;
  m_bmpTop = LoadTopImage(m_nTopImageId, dpi);
  m_nTopImageHeight = BitmapHeight(m_bmpTop.get());
  UniqueFont font(FontWithHeight(m_lfTemplate, DialogFontHeight(dpi)));
  if (font) {
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
      (void)::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    m_font = std::move(font);  // the old font is no control's any more
  }
  const RECT client = GetClientRect();
  Layout(client.right, client.bottom);
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void CPageDlg::Draw(HDC dc, const RECT& client) {
  if (m_crGround != CLR_NONE) FillSolidRect(dc, client, theTheme.Ink(kInkGround, m_crGround));
  DrawTopImage(dc, m_bmpTop.get(), client);
  RECT lower = client;
  lower.top += m_nTopImageHeight;
  FillSolidRect(dc, lower, theTheme.Ink(kInkGround, kPageColour));
  if (!theTheme.m_bHighContrast) return;
  // In high contrast an edit box's ground is the page's: it gets an edge,
  // whose sides are drawn here and whose top and bottom the box draws.
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child) || (::SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) == 0) continue;
    RECT box;
    ::GetWindowRect(child, &box);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&box), 2);
    ::InflateRect(&box, 1, 0);
    ::FrameRect(dc, &box, ::GetSysColorBrush(COLOR_WINDOWTEXT));
  }
}

INT_PTR CPageDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE) {
    Layout(LOWORD(lParam), HIWORD(lParam));
    return FALSE;
  }
  if (msg == WM_CTLCOLORSTATIC) {
    // White text on the page's dark fill, where every static and check box
    // stands. A solid ground, not a hollow brush: Common Controls 6 check
    // boxes would show whatever lay under them before the page painted.
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, theTheme.Ink(kInkText, RGB(255, 255, 255)));
    if (theTheme.m_bHighContrast) return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_WINDOW));
    if (!m_brPage) m_brPage.reset(::CreateSolidBrush(kPageColour));
    return reinterpret_cast<INT_PTR>(m_brPage ? m_brPage.get() : ::GetStockObject(HOLLOW_BRUSH));
  }
  return CSkinDlg::OnMessage(msg, wParam, lParam);
}

std::unique_ptr<CArcBtn> CPageDlg::MakeTextButton(const char* text, int id, const RECT& rect, COLORREF fill) const {
  auto button = std::make_unique<CArcBtn>();
  (void)button->Create(text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect, m_hWnd, id);  // a missing button is simply not drawn
  button->m_crText = theTheme.m_clrWhite;
  button->m_crTextPressed = theTheme.m_clrWhite;
  button->SetColors(fill, fill);
  return button;
}

void CPageDlg::PlaceTextButton(CArcBtn* button, const SkinRect& rect, bool rounded) const {
  if (button == nullptr || button->GetSafeHwnd() == nullptr) return;
  const int corner = TextButton(m_nDpi, rounded).cornerSize;
  button->m_nCornerSize = corner;
  button->m_nSquareOff = corner;
  button->m_nCornerStyle = 0;
  button->m_focusCue = FocusCueAt(m_nDpi);
  button->MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void CPageDlg::PlaceControl(int id, const SkinRect& rect) const {
  if (HWND control = GetDlgItem(id)) {
    ::MoveWindow(control, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
  }
}
