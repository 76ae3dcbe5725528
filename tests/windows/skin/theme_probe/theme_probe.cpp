// Prints what the theme made of the fonts installed in this prefix, for the
// end-to-end theme test: "face <name>", "count <n> preferred <0|1>", one line per
// font: "font <n> <lfHeight> <lfWeight> <lfUnderline> <lfFaceName>", and last
// "realized <face>" (the face GDI picks for the button font) and
// "family <full name>" for each enumerated family. Text is code page 936,
// whatever the system's code page.
#include <windows.h>

#include <cstdio>

#include "base/wide.h"
#include "skin/theme.h"

CTheme theTheme;

int main() {
  std::printf("face %s\n", theTheme.m_choice.face);
  int preferred = 0;
  for (const std::string& name : theTheme.m_arrFontNames) preferred |= NamesPreferredFace(name) ? 1 : 0;
  std::printf("count %u preferred %d\n", static_cast<unsigned>(theTheme.m_arrFontNames.size()), preferred);
  const HFONT fonts[8] = {theTheme.m_fontText.get(),  theTheme.m_fontButton.get(), theTheme.m_fontUnderline.get(),
                          theTheme.m_fontTitle.get(), theTheme.m_fontLarge.get(),  theTheme.m_fontMedium.get(),
                          theTheme.m_fontHeavy.get(), theTheme.m_fontBold.get()};
  for (int n = 0; n < 8; ++n) {
    LOGFONTW lf = {};
    if (fonts[n] == nullptr || ::GetObjectW(fonts[n], sizeof lf, &lf) != sizeof lf) {
      std::printf("font %d none\n", n);
      continue;
    }
    std::printf("font %d %ld %ld %d %s\n", n, lf.lfHeight, lf.lfWeight, lf.lfUnderline,
                NarrowOrPlaceholder(AsU16(lf.lfFaceName)).c_str());
  }
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(screen, theTheme.m_fontButton.get());
  wchar_t realized[LF_FACESIZE] = L"";
  (void)::GetTextFaceW(screen, LF_FACESIZE, realized);
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  std::printf("realized %s\n", NarrowOrPlaceholder(AsU16(realized)).c_str());
  for (const std::string& name : theTheme.m_arrFontNames) std::printf("family %s\n", name.c_str());
  return 0;
}
