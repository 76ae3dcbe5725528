#include "skin/theme_choice.h"

#include "base/mbcs.h"

namespace {

// The faces as GBK bytes, so the same text is compared whatever the
// compiler's execution character set (the native build keeps UTF-8). A
// Chinese system lists the Chinese family names, any other the English ones.
constexpr char kPreferredFace[] = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑
constexpr char kPreferredFaceEnglish[] = "Microsoft YaHei";
constexpr char kFallbackFace[] = "\xCB\xCE\xCC\xE5";  // 宋体
constexpr char kFallbackFaceEnglish[] = "SimSun";

// Heights with the preferred face and with the fallback, by font number.
constexpr int kPreferredHeights[8] = {17, 19, 19, 23, 40, 30, 30, 19};
constexpr int kFallbackHeights[8] = {13, 14, 17, 18, 35, 28, 25, 19};
// 1500 is heavier than FW_HEAVY; it goes to CreateFont as it stands.
constexpr int kWeights[8] = {300, 300, 300, 500, 500, 500, 1500, 700};

// The spelling of a face (Chinese or English) that name uses, or null.
const char* FaceIn(const std::string& name, const char* chinese, const char* english) {
  if (MbcsFind(name.c_str(), chinese) != nullptr) return chinese;
  return MbcsFind(name.c_str(), english) != nullptr ? english : nullptr;
}

// The spelling the first name naming the face uses, or null when none does.
const char* FindFace(const std::vector<std::string>& names, const char* chinese, const char* english) {
  for (const std::string& name : names) {
    if (const char* face = FaceIn(name, chinese, english)) return face;
  }
  return nullptr;
}

}  // namespace

const int kThemeFontCreationOrder[8] = {0, 1, 2, 3, 5, 4, 6, 7};

bool NamesPreferredFace(const std::string& name) {
  return FaceIn(name, kPreferredFace, kPreferredFaceEnglish) != nullptr;
}

ThemeFonts ChooseThemeFonts(const std::vector<std::string>& familyNames) {
  const char* preferred = FindFace(familyNames, kPreferredFace, kPreferredFaceEnglish);
  const char* fallback = FindFace(familyNames, kFallbackFace, kFallbackFaceEnglish);
  ThemeFonts fonts = {};
  fonts.preferredFace = preferred != nullptr ? preferred : kPreferredFace;
  fonts.face = preferred != nullptr ? preferred : fallback != nullptr ? fallback : kFallbackFace;
  const int* heights = preferred != nullptr ? kPreferredHeights : kFallbackHeights;
  for (int n = 0; n < 8; ++n) fonts.fonts[n] = {heights[n], kWeights[n], n == 2};
  return fonts;
}
