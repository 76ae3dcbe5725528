#include "skin/aa_graphics.h"

#include <cmath>
#include <cstdlib>
#include <utility>

// Every value below is a single-precision float stored in a named variable
// before it is used: the outlines' pixel positions depend on that rounding
// (the sine of the rounded 270 degrees must come out as exactly -1).

namespace {

int Trunc(float v) { return static_cast<int>(v); }

// Rounds half away from zero.
int RoundAway(float v) { return v > 0.0f ? Trunc(v + 0.5f) : Trunc(v - 0.5f); }

int Sign(int v) { return (v > 0) - (v < 0); }

// sqrt(1 - t² / r²) for |t| <= r; zero outside, where the curve has no point.
float Root(int t, int r) {
  const float t2 = static_cast<float>(t * t);
  const float r2 = static_cast<float>(r * r);
  const float q = 1.0f - t2 / r2;
  return q > 0.0f ? std::sqrt(q) : 0.0f;
}

int Channel(Colour c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// Mixes the pixel's colour with `colour`: keep * the old value plus
// take * the colour, each product truncated before the sum.
void Blend(PixelSurface& s, int x, int y, Colour colour, float keep, float take) {
  const Colour old = s.GetPixel(x, y);
  Colour mixed = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int v = Trunc(static_cast<float>(Channel(old, shift)) * keep) +
                  Trunc(static_cast<float>(Channel(colour, shift)) * take);
    mixed |= static_cast<Colour>(v & 0xFF) << shift;
  }
  s.SetPixel(x, y, mixed);
}

// One step of a curve: the near pixel takes 1 - f of the colour, the far
// pixel f, where f is the fraction of the exact position past the near one.
void Pair(PixelSurface& s, int nearX, int nearY, int farX, int farY, float f, Colour colour) {
  const float g = 1.0f - f;
  Blend(s, nearX, nearY, colour, f, g);
  Blend(s, farX, farY, colour, g, f);
}

// One piece of an arc that stays within a quadrant.
void ArcPiece(PixelSurface& s, int cx, int cy, int rx, int ry, float a0, float a1, Colour colour) {
  const float pi = 3.1415f;
  const float t0 = a0 / 180.0f * pi;
  const float t1 = a1 / 180.0f * pi;
  const float cos0 = std::cos(t0);
  const float cos1 = std::cos(t1);
  const float sin0 = std::sin(t0);
  const float sin1 = std::sin(t1);
  const float frx = static_cast<float>(rx);
  const float fry = static_cast<float>(ry);
  const float ex0 = frx * cos0;
  const float ex1 = frx * cos1;
  const float ey0 = fry * sin0;
  const float ey1 = fry * sin1;
  const int x0 = RoundAway(ex0);
  const int x1 = Trunc(ex1);
  const int y0 = RoundAway(ey0);
  const int y1 = Trunc(ey1);
  const int sx = Sign(x1 - x0);
  const int sy = Sign(y1 - y0);

  // Along x; a jump of two or more rows is the steep stretch the y pass draws.
  if (sx != 0) {
    int prev = y0;
    for (int x = x0; x != x1; x += sx) {
      const float y = fry * Root(x, rx);
      const int k = Trunc(y);
      const float f = y - static_cast<float>(k);
      if (std::abs(prev - k) < 2) {
        if (sx > 0) {
          Pair(s, cx + x, cy - k, cx + x, cy - k - 1, f, colour);
        } else {
          Pair(s, cx + x, cy + k, cx + x, cy + k + 1, f, colour);
        }
      }
      prev = k;
    }
  }
  if (sy != 0) {
    int prev = x0;
    for (int y = y0; y != y1; y += sy) {
      const float x = frx * Root(y, ry);
      const int k = Trunc(x);
      const float f = x - static_cast<float>(k);
      if (std::abs(prev - k) < 2) {
        if (sy > 0) {
          Pair(s, cx + k, cy + y, cx + k + 1, cy + y, f, colour);
        } else {
          Pair(s, cx - k, cy + y, cx - k - 1, cy + y, f, colour);
        }
      }
      prev = k;
    }
  }
}

}  // namespace

void CTGraphics::DrawLine(PixelSurface& s, int x1, int y1, int x2, int y2, Colour colour) {
  const int endX = x2;
  const int endY = y2;
  s.SetPixel(x1, y1, colour);
  int dx = x2 - x1;
  int dy = y2 - y1;
  if (std::abs(dx) > std::abs(dy)) {
    if (dx < 0) {
      std::swap(x1, x2);
      std::swap(y1, y2);
      dx = -dx;
      dy = -dy;
    }
    const float g = static_cast<float>(dy) / static_cast<float>(dx);
    float y = static_cast<float>(y1) + g;
    for (int x = x1 + 1; x <= x2 - 1; ++x) {
      const int i = Trunc(y);
      const float f = y - static_cast<float>(i);
      Pair(s, x, i, x, i + 1, f, colour);
      y = y + g;
    }
  } else if (dy != 0) {  // dy == 0 here is a single point: no steps
    if (dy < 0) {
      std::swap(x1, x2);
      std::swap(y1, y2);
      dx = -dx;
      dy = -dy;
    }
    const float g = static_cast<float>(dx) / static_cast<float>(dy);
    float x = static_cast<float>(x1) + g;
    for (int y = y1 + 1; y <= y2 - 1; ++y) {
      const int i = Trunc(x);
      const float f = x - static_cast<float>(i);
      Pair(s, i, y, i + 1, y, f, colour);
      x = x + g;
    }
  }
  s.SetPixel(endX, endY, colour);
}

void CTGraphics::DrawEllipse(PixelSurface& s, int left, int top, int right, int bottom, Colour colour) {
  const int cx = (left + right) / 2;
  const int cy = (top + bottom) / 2;
  const int rx = Trunc(static_cast<float>(std::abs(right - left)) * 0.5f);
  const int ry = Trunc(static_cast<float>(std::abs(bottom - top)) * 0.5f);
  const float frx = static_cast<float>(rx);
  const float fry = static_cast<float>(ry);

  // Across the whole width.
  if (rx > 0) {
    for (int i = -rx; i <= rx; ++i) {
      const float y = fry * Root(i, rx);
      const int k = Trunc(y);
      const float f = y - static_cast<float>(k);
      Pair(s, cx + i, cy + k, cx + i, cy + k + 1, f, colour);
      Pair(s, cx - i, cy - k, cx - i, cy - k - 1, f, colour);
    }
  }
  // The steep parts near the left and right ends: n = ry² / √(rx² + ry²).
  if (ry > 0) {
    const float diagonal = std::sqrt(frx * frx + fry * fry);
    const float scale = diagonal / fry;
    const int n = Trunc(fry / scale);
    for (int j = -n; j <= n; ++j) {
      const float x = frx * Root(j, ry);
      const int k = Trunc(x);
      const float f = x - static_cast<float>(k);
      Pair(s, cx + k, cy + j, cx + k + 1, cy + j, f, colour);
      Pair(s, cx - k, cy - j, cx - k - 1, cy - j, f, colour);
    }
  }
}

void CTGraphics::DrawArc(PixelSurface& s, int left, int top, int right, int bottom, float startAngle,
                         float endAngle, Colour colour) {
  const int cx = (left + right) / 2;
  const int cy = (top + bottom) / 2;
  const int rx = std::abs(right - left) / 2;
  const int ry = std::abs(bottom - top) / 2;

  float q = 0.0f;
  while (startAngle > q + 90.0f) q += 90.0f;
  if (endAngle <= q) return;
  // Pieces that each stay within one quadrant; the first piece of a
  // negative start angle begins below its quadrant and is left out.
  for (float a0 = startAngle; a0 < endAngle; q += 90.0f, a0 = q) {
    const float limit = q + 90.0f;
    const float a1 = endAngle < limit ? endAngle : limit;
    if (a0 >= q) ArcPiece(s, cx, cy, rx, ry, a0, a1, colour);
  }
}

void CTGraphics::DrawRoundRect(PixelSurface& s, int left, int top, int right, int bottom, int ellipseWidth,
                               int ellipseHeight, Colour colour) {
  const int rx = ellipseWidth / 2;
  const int ry = ellipseHeight / 2;
  if (std::abs(right - left) < 2 * rx || std::abs(bottom - top) < 2 * ry) {
    DrawEllipse(s, left, top, right, bottom, colour);
    return;
  }
  DrawLine(s, left + rx, top, right - rx, top, colour);
  DrawArc(s, right - 2 * rx, top, right, top + 2 * ry, 270.0f, 360.0f, colour);
  DrawLine(s, right, top + ry, right, bottom - ry, colour);
  DrawArc(s, right - 2 * rx, bottom - 2 * ry, right, bottom, 0.0f, 90.0f, colour);
  DrawLine(s, right - rx, bottom, left + rx, bottom, colour);
  DrawArc(s, left, bottom - 2 * ry, left + 2 * rx, bottom, 90.0f, 180.0f, colour);
  DrawLine(s, left, bottom - ry, left, top + ry, colour);
  DrawArc(s, left, top, left + 2 * rx, top + 2 * ry, 180.0f, 270.0f, colour);
}
