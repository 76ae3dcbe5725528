// Anti-aliased outlines drawn pixel by pixel. The maths is plain C++ over a
// small pixel-surface interface: natively it runs on a memory surface (tests,
// sanitizers); in the installer on a device context through GetPixel/SetPixel
// (skin/dc_surface.h). No window headers here.
#pragma once

#include <cstdint>

// A COLORREF: 0x00BBGGRR, red in the low byte.
using Colour = std::uint32_t;
constexpr Colour kInvalidColour = 0xFFFFFFFFu;  // CLR_INVALID

// What the drawing reads and writes. Coordinates outside the surface read as
// kInvalidColour and are not written.
class PixelSurface {
 public:
  virtual ~PixelSurface() = default;
  virtual Colour GetPixel(int x, int y) = 0;
  virtual void SetPixel(int x, int y, Colour colour) = 0;
};

class CTGraphics {
 public:
  virtual ~CTGraphics() = default;

  void DrawLine(PixelSurface& surface, int x1, int y1, int x2, int y2, Colour colour);
  void DrawEllipse(PixelSurface& surface, int left, int top, int right, int bottom, Colour colour);
  void DrawArc(PixelSurface& surface, int left, int top, int right, int bottom, float startAngle, float endAngle,
               Colour colour);
  void DrawRoundRect(PixelSurface& surface, int left, int top, int right, int bottom, int ellipseWidth,
                     int ellipseHeight, Colour colour);
};
