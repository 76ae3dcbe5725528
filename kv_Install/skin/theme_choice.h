// The theme's one decision, as plain C++: which face and which column of
// heights, from the list of installed font family names (code page 936).
#pragma once

#include <string>
#include <vector>

struct ThemeFontSpec {
  int height;
  int weight;
  bool underline;
};

struct ThemeFonts {
  // The fonts' face, GBK, spelt as the system lists it: "微软雅黑" or
  // "Microsoft YaHei"; else "宋体" or "SimSun"; "宋体" when neither is listed.
  const char* face;
  // The preferred face as listed, else "微软雅黑" (the caption band asks for
  // that face whatever the theme chose).
  const char* preferredFace;
  // Indexed by font number: 0 text, 1 button, 2 underline, 3 title, 4 large,
  // 5 medium, 6 heavy, 7 bold.
  ThemeFontSpec fonts[8];
};

// True when `name` contains "微软雅黑" or "Microsoft YaHei" on a character
// boundary (so "@微软雅黑" matches, and a byte match straddling two characters
// does not).
bool NamesPreferredFace(const std::string& name);

// The first name that names the preferred face (either spelling) selects it
// and the first height column; otherwise the fallback face and the second
// column.
ThemeFonts ChooseThemeFonts(const std::vector<std::string>& familyNames);

// The order in which the fonts are created: 0, 1, 2, 3, 5, 4, 6, then 7.
extern const int kThemeFontCreationOrder[8];
