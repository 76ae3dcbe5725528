// The pixel surface of the anti-aliased drawing over a device context:
// GetPixel and SetPixel, as the drawing is meant to run in the installer.
#pragma once

#include <windows.h>

#include "skin/aa_graphics.h"

class DcSurface : public PixelSurface {
 public:
  explicit DcSurface(HDC dc) : dc_(dc) {}
  Colour GetPixel(int x, int y) override { return ::GetPixel(dc_, x, y); }
  void SetPixel(int x, int y, Colour colour) override { (void)::SetPixel(dc_, x, y, colour); }

 private:
  HDC dc_;
};
