#include "ui/page_dlg.h"

#include <algorithm>

#include "base/gdi.h"
#include "framework/module.h"
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

UniqueBitmap LoadBitmapResource(int id) {
  return UniqueBitmap(static_cast<HBITMAP>(
      ::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

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
  m_bmpTop = LoadBitmapResource(m_nTopImageId);
  m_nTopImageHeight = BitmapHeight(m_bmpTop.get());
  return TRUE;
}

void CPageDlg::Draw(HDC dc, const RECT& client) {
  if (m_crGround != CLR_NONE) FillSolidRect(dc, client, m_crGround);
  DrawTopImage(dc, m_bmpTop.get(), client);
  RECT lower = client;
  lower.top += m_nTopImageHeight;
  FillSolidRect(dc, lower, kPageColour);
}

INT_PTR CPageDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE) {
    Layout(LOWORD(lParam), HIWORD(lParam));
    return FALSE;
  }
  if (msg == WM_CTLCOLORSTATIC) {
    // White text on a transparent ground.
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<INT_PTR>(::GetStockObject(HOLLOW_BRUSH));
  }
  return CSkinDlg::OnMessage(msg, wParam, lParam);
}

std::unique_ptr<CArcBtn> CPageDlg::MakeTextButton(const char* text, int id, const RECT& rect, COLORREF fill) const {
  auto button = std::make_unique<CArcBtn>();
  (void)button->Create(text, WS_CHILD | WS_VISIBLE, rect, m_hWnd, id);  // a missing button is simply not drawn
  button->m_crText = theTheme.m_clrWhite;
  button->m_crTextPressed = theTheme.m_clrWhite;
  button->SetColors(fill, fill);
  return button;
}

void CPageDlg::ShapeTextButton(CArcBtn& button, int cornerSize, int squareOff, int cornerStyle) {
  (void)button.SetWindowPos(nullptr, 0, 0, 100, 35, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
  button.m_nCornerSize = cornerSize;
  button.m_nSquareOff = squareOff;
  button.m_nCornerStyle = cornerStyle;
}
