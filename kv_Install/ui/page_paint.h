// Drawing shared by the three pages: the skin's top image over a dark page.
#pragma once

#include <windows.h>

// Loads a bitmap resource; its height goes to *height (0 when missing).
HBITMAP LoadTopImage(int resourceId, int* height);

// Fills rc with a solid colour.
void FillSolid(HDC dc, const RECT& rc, COLORREF colour);

// Copies the top image to the client's top-left corner, source (0, 0), with
// the client's width and height (the bitmap clips what it does not cover).
void DrawTopImage(HDC dc, HBITMAP image, const RECT& client);

// Control colours of the pages' static texts: white on a transparent ground.
INT_PTR StaticTextColours(HDC dc);
