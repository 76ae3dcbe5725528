// What the three pages share: the skin's top image over a dark page, the
// colours of their static texts, and their text buttons.
#pragma once

#include <windows.h>

#include <memory>

#include "skin/arc_btn.h"

// Loads a bitmap resource; its height goes to *height (0 when missing).
HBITMAP LoadTopImage(int resourceId, int* height);

// Fills rc with a solid colour.
void FillSolid(HDC dc, const RECT& rc, COLORREF colour);

// Copies the top image to the client's top-left corner, source (0, 0), with
// the client's width and height (the bitmap clips what it does not cover).
void DrawTopImage(HDC dc, HBITMAP image, const RECT& client);

// Control colours of the pages' static texts: white on a transparent ground.
INT_PTR StaticTextColours(HDC dc);

// A page's text button: white captions on fill, created at rect with
// control ID id. Corners and size are the caller's.
std::unique_ptr<CArcBtn> MakeTextButton(HWND page, const char* text, int id, const RECT& rect, COLORREF fill);

// Resizes a text button to 100 x 35 where it stands and gives it its corner
// ellipse size, square-off and corner style.
void ShapeTextButton(CArcBtn& button, int cornerSize, int squareOff, int cornerStyle);
