#include "skin/theme.h"

#include <cwchar>

#include "base/wide.h"
#include "skin/skin_scale.h"

namespace {

// EnumFontFamiliesExW hands each family's ENUMLOGFONTEXW behind a LOGFONTW
// pointer; its full name goes to the theme's list as GBK (a name GBK cannot
// hold keeps '?' for those characters: it names neither face).
int CALLBACK CollectFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) {
  const wchar_t* name = reinterpret_cast<const ENUMLOGFONTEXW*>(font)->elfFullName;
  const std::u16string_view text(reinterpret_cast<const char16_t*>(name), ::wcsnlen(name, LF_FULLFACESIZE));
  reinterpret_cast<CTheme*>(data)->m_arrFontNames.push_back(NarrowOrPlaceholder(text));
  return 1;
}

HFONT MakeFont(const char* face, const ThemeFontSpec& font, int dpi) {
  return ::CreateFontW(ScaleLength(font.height, dpi), 0, 0, 0, font.weight, FALSE, font.underline ? TRUE : FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       WStr(Wide(face)));
}

bool SystemHighContrastOn() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

bool (*theHighContrastQuery)() = &SystemHighContrastOn;

CTheme::CTheme() {
  HDC screen = ::GetDC(nullptr);
  // A failed enumeration leaves the list empty, which selects the fallback.
  // Every family once, in every character set.
  LOGFONTW all = {};
  all.lfCharSet = DEFAULT_CHARSET;
  (void)::EnumFontFamiliesExW(screen, &all, &CollectFamily, reinterpret_cast<LPARAM>(this), 0);
  (void)::ReleaseDC(nullptr, screen);

  m_choice = ChooseThemeFonts(m_arrFontNames);
  m_nDpi = 0;
  SetDpi(kBaseDpi);
}

void CTheme::SetDpi(int dpi) {
  if (dpi == m_nDpi) return;
  m_nDpi = dpi;
  UniqueFont* const members[8] = {&m_fontText,  &m_fontButton, &m_fontUnderline, &m_fontTitle,
                                  &m_fontLarge, &m_fontMedium, &m_fontHeavy,     &m_fontBold};
  for (int n : kThemeFontCreationOrder) members[n]->reset(MakeFont(m_choice.face, m_choice.fonts[n], dpi));
}

bool CTheme::ReadSystemColours() {
  constexpr int kSystemColour[kInkCount] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT,
                                            COLOR_HIGHLIGHT};
  bool changed = false;
  const bool on = theHighContrastQuery();
  for (int ink = 0; ink < kInkCount; ++ink) {
    const COLORREF colour = on ? ::GetSysColor(kSystemColour[ink]) : 0;
    changed |= colour != m_crSystem[ink];
    m_crSystem[ink] = colour;
  }
  changed |= on != m_bHighContrast;
  m_bHighContrast = on;
  return changed;
}
