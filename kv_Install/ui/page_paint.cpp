#include "ui/page_paint.h"

#include <algorithm>

#include "framework/dialog.h"
#include "framework/handles.h"

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
