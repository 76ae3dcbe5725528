// The theme: the process-wide fonts and colours the skinned windows draw
// with. The program defines the one instance, theTheme, ahead of anything
// that draws, so static initialisation builds it first (definitions in one
// file are initialised in the order written). A test program that uses the
// skin defines its own theTheme.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "skin/theme_choice.h"

// What the skin draws with, by kind: grounds, text, the text buttons' faces
// and captions, the keyboard-focus cue. Outside a high-contrast theme each
// kind is the skin's own colour where it is drawn; in one, the system's
// colour for that kind (COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE,
// COLOR_BTNTEXT, COLOR_HIGHLIGHT), so that text and edges stand out as the
// user chose.
enum SkinInk { kInkGround, kInkText, kInkButtonFace, kInkButtonText, kInkFocus, kInkCount };

// Whether a high-contrast theme is on (SPI_GETHIGHCONTRAST). Wine has no
// high-contrast themes (its answer is always "off"), so tests point this at
// an answer of their own.
extern bool (*theHighContrastQuery)();

class CTheme {
 public:
  // Enumerates the installed families into m_arrFontNames, picks the face
  // and heights, creates the eight fonts in their fixed order and sets the
  // colours.
  CTheme();
  CTheme(const CTheme&) = delete;

  // Makes the eight fonts anew for dpi (the chosen heights are 96-dpi
  // pixels); nothing when they are already made for it. Windows borrow the
  // fonts only while they draw or measure, so the old ones can go.
  void SetDpi(int dpi);
  int m_nDpi = 96;
  CTheme& operator=(const CTheme&) = delete;

  // Reads whether a high-contrast theme is on and, if so, the system's
  // colours for the inks; true when what the skin draws with has changed.
  bool ReadSystemColours();
  // The colour of ink where the skin's own is `skin`.
  COLORREF Ink(SkinInk ink, COLORREF skin) const { return m_bHighContrast ? m_crSystem[ink] : skin; }
  bool m_bHighContrast = false;
  COLORREF m_crSystem[kInkCount] = {};

  // Full names of the installed font families, in the order the system
  // enumerated them.
  std::vector<std::string> m_arrFontNames;
  // The face and heights chosen (at 96 dpi).
  ThemeFonts m_choice = {};

  // The eight fonts, in the order of ThemeFonts::fonts. A failed CreateFontW
  // leaves the member empty; callers select a font only when it has a
  // handle. The theme owns them until process exit; windows borrow them.
  UniqueFont m_fontText;       // edit text
  UniqueFont m_fontButton;     // skinned button captions
  UniqueFont m_fontUnderline;
  UniqueFont m_fontTitle;
  UniqueFont m_fontLarge;
  UniqueFont m_fontMedium;
  UniqueFont m_fontHeavy;      // weight 1500, passed unchanged
  UniqueFont m_fontBold;
  COLORREF m_clrWhite = RGB(255, 255, 255);
  COLORREF m_clrBlack = RGB(0, 0, 0);
  COLORREF m_clrEditFrame = RGB(140, 140, 140);
};

extern CTheme theTheme;
