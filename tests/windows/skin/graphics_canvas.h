// A 32-bit top-down DIB section selected into a memory DC, for the skin's
// Wine tests: drawings go through the DC, the pixels are read back directly.
#pragma once

#include <windows.h>

#include <cstdint>

#include "skin/aa_graphics.h"

class DibCanvas {
 public:
  DibCanvas(int width, int height, Colour background) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = ::SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i) bits_[i] = ToDib(background);
  }
  ~DibCanvas() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  HDC dc() const { return dc_; }
  // The pixel as a COLORREF (the DIB's fourth byte left out).
  Colour at(int x, int y) const {
    ::GdiFlush();
    const std::uint32_t v = bits_[y * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  static std::uint32_t ToDib(Colour c) { return (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF); }

  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};
