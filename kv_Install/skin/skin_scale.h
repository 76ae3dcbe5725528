// The skin at any display scale, as plain C++: every place, size, line
// width, corner and hit area of the 96-dpi layout times s = dpi / 96, in one
// place. The window code asks here and measures nothing of its own but text.
#pragma once

#include "skin/button_rules.h"

constexpr int kBaseDpi = 96;

// length * dpi / 96, rounded half up (lengths are never negative).
int ScaleLength(int length, int dpi);
SkinRect ScaleRect(int x, int y, int cx, int cy, int dpi);

// Which drawn set of the skin pictures serves dpi, counted in halves: 2 (1x)
// up to 96 dpi, 3 (1.5x) up to 144, else 4 (2x). A set that does not match
// the scale exactly is scaled down to it (125 %, 175 %), or up beyond 200 %.
int PictureSetHalves(int dpi);
// The resource ID of picture id1x (its 1x ID) in that set.
int SkinPictureId(int id1x, int dpi);

// The window at dpi, and the largest dpi, in steps of 25 % from dpi down,
// whose window fits a work area of that size; never below 96.
SkinSize MainWindowSize(int dpi);
int FitDpi(int dpi, int workWidth, int workHeight);

// The main window's caption band, and where the close button (of the given
// size) and the product name sit in a client area `width` wide.
struct MainLayout {
  int captionHeight;
  SkinRect close;
  int titleLeft;
};
MainLayout LayOutMainWindow(int dpi, int width, SkinSize closeButton);

// The text buttons' size and corner ellipse.
struct TextButtonShape {
  SkinSize size;
  int cornerSize;
};
TextButtonShape TextButton(int dpi, bool rounded);
// The buttons' keyboard-focus cue: 1 px wide, 3 px inside the edge at 96 dpi.
FocusCue FocusCueAt(int dpi);

// The three pages, each cx by cy with the top image topHeight high.
struct DirPageLayout {
  SkinRect label, edit, browse, desktop, run, install, cancel;
};
DirPageLayout LayOutDirPage(int dpi, int cx, int topHeight);
struct ProgressPageLayout {
  SkinRect label, bar;
};
ProgressPageLayout LayOutProgressPage(int dpi, int cx, int topHeight);
struct FinishPageLayout {
  SkinRect label, button;
};
FinishPageLayout LayOutFinishPage(int dpi, int cx, int cy, int topHeight);

// The height of the pages' font (the dialogs' 8 points) at dpi, as
// CreateFont takes it: negative, a character height.
int DialogFontHeight(int dpi);
