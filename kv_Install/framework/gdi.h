// Device contexts borrowed for a scope, and the solid fill the skinned
// controls use. Each scope keeps what its destructor gives the DC back to.
#pragma once

#include <windows.h>

// GetDC / ReleaseDC on the same window.
class ScopedClientDC {
 public:
  explicit ScopedClientDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~ScopedClientDC() {
    if (dc_ != nullptr) (void)::ReleaseDC(hwnd_, dc_);
  }
  ScopedClientDC(const ScopedClientDC&) = delete;
  ScopedClientDC& operator=(const ScopedClientDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// GetWindowDC / ReleaseDC: the whole window, non-client area included.
class ScopedWindowDC {
 public:
  explicit ScopedWindowDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetWindowDC(hwnd)) {}
  ~ScopedWindowDC() {
    if (dc_ != nullptr) (void)::ReleaseDC(hwnd_, dc_);
  }
  ScopedWindowDC(const ScopedWindowDC&) = delete;
  ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Fills (x, y, x + cx, y + cy) with colour through an opaque ExtTextOut, which
// leaves colour as the DC's background colour.
inline void FillSolidRect(HDC dc, int x, int y, int cx, int cy, COLORREF colour) {
  (void)::SetBkColor(dc, colour);
  const RECT rc = {x, y, x + cx, y + cy};
  (void)::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}
