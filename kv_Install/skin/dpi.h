// The display scale on the window side. Functions newer than Windows 7 are
// looked up by name, never imported: the installer runs on Windows 7 SP1 and
// under Wine 8, which lack some of them.
#pragma once

#include <windows.h>

#include "base/handles.h"
#include "skin/button_rules.h"
#include "skin/image.h"

// The window's DPI: GetDpiForWindow where the system has it, else the
// screen's LOGPIXELSX.
int WindowDpi(HWND hwnd);

// The work area of the monitor the window is on.
SkinSize WorkAreaSize(HWND hwnd);

// Asks the system not to rescale the dialog's font and controls on a DPI
// change (the skin lays itself out); nothing where the call is missing.
void KeepDialogLayout(HWND dialog);

// Draws the control without the visual style (SetWindowTheme with empty
// names), so it keeps the skin's colours: a themed check box or static
// ignores the text colour its parent sets. Nothing where no theme library
// is loaded, since then nothing is themed.
void KeepSkinLook(HWND control);

// A font like `model` (face, weight, character set) with the given height.
HFONT FontWithHeight(const LOGFONTW& model, int height);

// Loads skin picture id1x (PNG) drawn for dpi: the set for the scale, resampled to
// the 1x size times dpi / 96 when the set does not match it. False leaves
// the image empty.
bool LoadSkinPicture(CImage* image, UINT id1x, int dpi);

// The top image (bitmap id1x at 96 dpi, else its PNG sets) as a DIB section.
UniqueBitmap LoadTopImage(UINT id1x, int dpi);
