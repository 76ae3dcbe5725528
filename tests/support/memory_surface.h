// A pixel surface in memory for the anti-aliased drawing's tests: width x
// height COLORREF values, every pixel starting as `background`. Outside it
// reads kInvalidColour and ignores writes, as a device context does.
#pragma once

#include <vector>

#include "skin/aa_graphics.h"

class MemorySurface : public PixelSurface {
 public:
  MemorySurface(int width, int height, Colour background)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, background) {}

  Colour GetPixel(int x, int y) override { return Inside(x, y) ? pixels_[Index(x, y)] : kInvalidColour; }
  void SetPixel(int x, int y, Colour colour) override {
    if (Inside(x, y)) pixels_[Index(x, y)] = colour & 0xFFFFFFu;
  }

  int width() const { return width_; }
  int height() const { return height_; }
  Colour at(int x, int y) const { return pixels_[Index(x, y)]; }
  const std::vector<Colour>& pixels() const { return pixels_; }

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

  int width_;
  int height_;
  std::vector<Colour> pixels_;
};
