// Device contexts borrowed for a scope, selections made for a scope, and the
// solid fill every painted surface uses. Each scope keeps what its destructor
// gives the DC back to.
#pragma once

#include <windows.h>

// A DC of a window taken with GetDC or GetWindowDC, and ReleaseDC on the same
// window.
template <HDC(WINAPI* GetFn)(HWND)>
class ScopedReleasedDC {
 public:
  explicit ScopedReleasedDC(HWND hwnd) : hwnd_(hwnd), dc_(GetFn(hwnd)) {}
  ~ScopedReleasedDC() {
    if (dc_ != nullptr) (void)::ReleaseDC(hwnd_, dc_);
  }
  ScopedReleasedDC(const ScopedReleasedDC&) = delete;
  ScopedReleasedDC& operator=(const ScopedReleasedDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};
using ScopedClientDC = ScopedReleasedDC<::GetDC>;
// The whole window, non-client area included.
using ScopedWindowDC = ScopedReleasedDC<::GetWindowDC>;

// BeginPaint / EndPaint on the same window, for a WM_PAINT handler.
class ScopedPaintDC {
 public:
  explicit ScopedPaintDC(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
  ~ScopedPaintDC() { (void)::EndPaint(hwnd_, &paint_); }
  ScopedPaintDC(const ScopedPaintDC&) = delete;
  ScopedPaintDC& operator=(const ScopedPaintDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_ = {};
  HDC dc_;
};

// SaveDC / RestoreDC: every selection, colour and mode set on the DC within
// the scope is undone at its end.
class ScopedDcState {
 public:
  explicit ScopedDcState(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
  ~ScopedDcState() {
    if (saved_ != 0) (void)::RestoreDC(dc_, saved_);
  }
  ScopedDcState(const ScopedDcState&) = delete;
  ScopedDcState& operator=(const ScopedDcState&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// Selects an object into a DC for a scope and puts the previous one back on
// the same DC.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelect() {
    if (old_ != nullptr && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Fills rc with colour through an opaque ExtTextOut, which leaves colour as
// the DC's background colour; no brush is made.
inline void FillSolidRect(HDC dc, const RECT& rc, COLORREF colour) {
  (void)::SetBkColor(dc, colour);
  (void)::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}
inline void FillSolidRect(HDC dc, int x, int y, int cx, int cy, COLORREF colour) {
  FillSolidRect(dc, RECT{x, y, x + cx, y + cy}, colour);
}
