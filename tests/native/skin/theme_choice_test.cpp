#include "skin/theme_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// GBK bytes: the native build keeps its literals in UTF-8.
const std::string kYaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑
const std::string kSong = "\xCB\xCE\xCC\xE5";                   // 宋体

TEST(ThemeChoice, WhichNamesSelectWhichFace) {
  // A Chinese system lists the Chinese family names, any other the English
  // ones; the face is spelt as the list has it.
  struct Case {
    const char* what;
    std::vector<std::string> names;
    std::string face;
    bool preferred;
  };
  const Case cases[] = {
      {"empty list", {}, kSong, false},
      {"other families", {"Arial", kSong, "Tahoma"}, kSong, false},
      {"the face itself, not first", {"Arial", kYaHei}, kYaHei, true},
      {"vertical variant", {"@" + kYaHei}, kYaHei, true},
      {"inside a longer full name", {kYaHei + " Bold"}, kYaHei, true},
      // 0x81 0xCE is one character: the face's bytes start on a trail byte.
      {"bytes straddling two characters", {"\x81" + kYaHei + "x"}, kSong, false},
      {"English name", {"Tahoma", "SimSun", "Microsoft YaHei UI"}, "Microsoft YaHei", true},
      {"English vertical variant", {"@Microsoft YaHei"}, "Microsoft YaHei", true},
      {"the first spelling listed wins", {"Microsoft YaHei", kYaHei}, "Microsoft YaHei", true},
      {"English fallback", {"Tahoma", "NSimSun"}, "SimSun", false},
      {"Chinese fallback before English", {kSong, "SimSun"}, kSong, false},
      {"case matters, as in the list", {"microsoft yahei", "simsun"}, kSong, false},
  };
  for (const Case& c : cases) {
    const ThemeFonts fonts = ChooseThemeFonts(c.names);
    EXPECT_EQ(std::string(fonts.face), c.face) << c.what;
    EXPECT_EQ(std::string(fonts.preferredFace), c.preferred ? c.face : kYaHei) << c.what;
    EXPECT_EQ(fonts.fonts[1].height, c.preferred ? 19 : 14) << c.what;
    EXPECT_EQ(fonts.fonts[3].height, c.preferred ? 23 : 18) << c.what;
  }
}

TEST(ThemeChoice, FontTable) {
  const int preferred[8] = {17, 19, 19, 23, 40, 30, 30, 19};
  const int fallback[8] = {13, 14, 17, 18, 35, 28, 25, 19};
  const int weights[8] = {300, 300, 300, 500, 500, 500, 1500, 700};
  const ThemeFonts with = ChooseThemeFonts({kYaHei});
  const ThemeFonts without = ChooseThemeFonts({});
  for (int n = 0; n < 8; ++n) {
    EXPECT_EQ(with.fonts[n].height, preferred[n]) << n;
    EXPECT_EQ(without.fonts[n].height, fallback[n]) << n;
    EXPECT_EQ(with.fonts[n].weight, weights[n]) << n;
    EXPECT_EQ(without.fonts[n].weight, weights[n]) << n;
    EXPECT_EQ(with.fonts[n].underline, n == 2) << n;
    EXPECT_EQ(without.fonts[n].underline, n == 2) << n;
  }
  const std::vector<int> order(kThemeFontCreationOrder, kThemeFontCreationOrder + 8);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 5, 4, 6, 7}));
}

}  // namespace
