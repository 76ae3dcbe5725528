// Drawings of the anti-aliased outlines shared by the native tests and the
// Wine test that repeats them on a device context. Each draws on a surface of
// kDrawingWidth x kDrawingHeight filled with kDrawingBackground.
#pragma once

#include "skin/aa_graphics.h"

constexpr int kDrawingWidth = 120;
constexpr int kDrawingHeight = 60;
constexpr Colour kDrawingBackground = 0x00D0E8F8;  // RGB(248, 232, 208)
constexpr Colour kInk = 0x00204080;                // RGB(128, 64, 32)

struct Drawing {
  const char* name;
  void (*draw)(PixelSurface& s);
};

inline const Drawing kDrawings[] = {
    {"line backwards", [](PixelSurface& s) { CTGraphics().DrawLine(s, 10, 10, 2, 10, kInk); }},
    {"line shallow", [](PixelSurface& s) { CTGraphics().DrawLine(s, 0, 0, 10, 5, kInk); }},
    {"line steep upwards", [](PixelSurface& s) { CTGraphics().DrawLine(s, 40, 50, 33, 3, kInk); }},
    {"ellipse", [](PixelSurface& s) { CTGraphics().DrawEllipse(s, 5, 5, 60, 40, kInk); }},
    {"circle", [](PixelSurface& s) { CTGraphics().DrawEllipse(s, 70, 10, 100, 40, kInk); }},
    {"arc upper right", [](PixelSurface& s) { CTGraphics().DrawArc(s, 86, 0, 100, 14, 270.0f, 360.0f, kInk); }},
    {"arc five pieces", [](PixelSurface& s) { CTGraphics().DrawArc(s, 10, 10, 50, 40, 0.0f, 450.0f, kInk); }},
    {"arc off the quadrants", [](PixelSurface& s) { CTGraphics().DrawArc(s, 10, 10, 70, 50, 30.0f, 200.0f, kInk); }},
    {"round rect", [](PixelSurface& s) { CTGraphics().DrawRoundRect(s, 0, 0, 100, 35, 15, 15, kInk); }},
    {"round rect narrow", [](PixelSurface& s) { CTGraphics().DrawRoundRect(s, 20, 5, 30, 50, 15, 15, kInk); }},
    {"round rect past the edge", [](PixelSurface& s) { CTGraphics().DrawRoundRect(s, 90, 30, 130, 70, 20, 20, kInk); }},
};
