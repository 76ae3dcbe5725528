// The theme: the process-wide fonts and colours the skinned windows draw
// with. The installer's one instance, theTheme, is defined in core/app.cpp
// ahead of COM and the application object, so static initialisation builds
// it first (definitions in one file are initialised in the order written).
// A test program that uses the skin defines its own theTheme.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "skin/theme_choice.h"

class CTheme {
 public:
  // Enumerates the installed families into m_arrFontNames, picks the face
  // and heights, creates the eight fonts in their fixed order and sets the
  // colours.
  CTheme();
  // Deletes every font handle (process exit for theTheme).
  ~CTheme();
  CTheme(const CTheme&) = delete;
  CTheme& operator=(const CTheme&) = delete;

  // Full names of the installed font families, in the order the system
  // enumerated them.
  std::vector<std::string> m_arrFontNames;
  // The face and heights chosen.
  ThemeFonts m_choice = {};

  // A failed CreateFontA leaves the member null; callers select a font only
  // when it has a handle. The theme owns them; windows borrow them.
  HFONT m_fontText = nullptr;       // 0: the menu edit box's text
  HFONT m_fontButton = nullptr;     // 1: skinned button captions
  HFONT m_fontUnderline = nullptr;  // 2
  HFONT m_fontTitle = nullptr;      // 3: selected by the main window's caption paint
  HFONT m_fontLarge = nullptr;      // 4
  HFONT m_fontMedium = nullptr;     // 5
  HFONT m_fontHeavy = nullptr;      // 6: weight 1500, passed unchanged
  HFONT m_fontBold = nullptr;       // 7
  COLORREF m_clrWhite = RGB(255, 255, 255);
  COLORREF m_clrBlack = RGB(0, 0, 0);
  COLORREF m_clrEditFrame = RGB(140, 140, 140);
};

extern CTheme theTheme;
