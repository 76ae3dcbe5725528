#include "skin/theme.h"

#include <cstring>

namespace {

// EnumFontFamiliesA hands each family's ENUMLOGFONTA behind a LOGFONTA
// pointer; its full name goes to the theme's list.
int CALLBACK CollectFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM data) {
  const auto* family = reinterpret_cast<const ENUMLOGFONTA*>(font);
  const char* name = reinterpret_cast<const char*>(family->elfFullName);
  reinterpret_cast<CTheme*>(data)->m_arrFontNames.emplace_back(name, ::strnlen(name, LF_FULLFACESIZE));
  return 1;
}

HFONT MakeFont(const char* face, const ThemeFontSpec& font) {
  return ::CreateFontA(font.height, 0, 0, 0, font.weight, FALSE, font.underline ? TRUE : FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

}  // namespace

CTheme::CTheme() {
  HDC screen = ::GetDC(nullptr);
  // A failed enumeration leaves the list empty, which selects the fallback.
  (void)::EnumFontFamiliesA(screen, nullptr, &CollectFamily, reinterpret_cast<LPARAM>(this));
  (void)::ReleaseDC(nullptr, screen);

  m_choice = ChooseThemeFonts(m_arrFontNames);
  UniqueFont* const members[8] = {&m_fontText,  &m_fontButton, &m_fontUnderline, &m_fontTitle,
                                  &m_fontLarge, &m_fontMedium, &m_fontHeavy,     &m_fontBold};
  for (int n : kThemeFontCreationOrder) members[n]->reset(MakeFont(m_choice.face, m_choice.fonts[n]));
}
