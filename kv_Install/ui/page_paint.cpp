#include "ui/page_paint.h"

#include <algorithm>

#include "base/gdi.h"
#include "base/handles.h"
#include "framework/module.h"
#include "skin/theme.h"

HBITMAP LoadTopImage(int resourceId, int* height) {
  HBITMAP bitmap = static_cast<HBITMAP>(
      ::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info = {};
  *height = (bitmap != nullptr && ::GetObjectA(bitmap, sizeof info, &info) != 0) ? info.bmHeight : 0;
  return bitmap;
}

void FillSolid(HDC dc, const RECT& rc, COLORREF colour) {
  UniqueGdiObject brush(::CreateSolidBrush(colour));
  ::FillRect(dc, &rc, static_cast<HBRUSH>(brush.get()));
}

void DrawTopImage(HDC dc, HBITMAP image, const RECT& client) {
  if (image == nullptr) return;
  // Only the part the bitmap covers is copied; below it the page's own fill shows.
  BITMAP info = {};
  if (::GetObjectA(image, sizeof info, &info) == 0) return;
  const int w = std::min<int>(client.right - client.left, info.bmWidth);
  const int h = std::min<int>(client.bottom - client.top, info.bmHeight);
  UniqueMemoryDc memory(::CreateCompatibleDC(dc));
  ScopedSelect select(memory.get(), image);
  ::BitBlt(dc, client.left, client.top, w, h, memory.get(), 0, 0, SRCCOPY);
}

INT_PTR StaticTextColours(HDC dc) {
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<INT_PTR>(::GetStockObject(HOLLOW_BRUSH));
}

std::unique_ptr<CArcBtn> MakeTextButton(HWND page, const char* text, int id, const RECT& rect, COLORREF fill) {
  auto button = std::make_unique<CArcBtn>();
  (void)button->Create(text, WS_CHILD | WS_VISIBLE, rect, page, id);  // a missing button is simply not drawn
  button->m_crText = theTheme.m_clrWhite;
  button->m_crTextPressed = theTheme.m_clrWhite;
  button->SetColors(fill, fill);
  return button;
}

void ShapeTextButton(CArcBtn& button, int cornerSize, int squareOff, int cornerStyle) {
  (void)button.SetWindowPos(nullptr, 0, 0, 100, 35, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
  button.m_nCornerSize = cornerSize;
  button.m_nSquareOff = squareOff;
  button.m_nCornerStyle = cornerStyle;
}
