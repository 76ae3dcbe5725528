// Start-up and folder rules: which run the command line selects, and how the
// installation folder is formed from its three sources.
#include <gtest/gtest.h>

#include "core/command_line.h"
#include "core/folder_rules.h"
#include "report/user_number.h"

namespace {

struct CommandLineCase {
  const char* line;
  bool unattended;
};

TEST(CommandLine, AdminIsLookedForInTheArgumentsOnly) {
  const CommandLineCase cases[] = {
      {"kvsetup.exe admin", true},
      {"kvsetup.exe /admin", true},
      {"kvsetup.exe -admin", true},
      {"kvsetup.exe --quiet -xadminx", true},
      {"\"C:\\Program Files\\x\\kvsetup.exe\" admin", true},
      {"\"C:\\a b\\kvsetup.exe\"admin", true},
      {"kvsetup.exe", false},
      {"kvsetup.exe Admin", false},
      {"kvsetup.exe ADMIN", false},
      {"kvsetup.exe adm in", false},
      // The program's own path never selects the unattended run.
      {"C:\\users\\admin\\Downloads\\kvsetup.exe", false},
      {"\"C:\\users\\admin\\Downloads\\kvsetup.exe\"", false},
      {"\"C:\\users\\admin\\Down loads\\kvsetup.exe\" ", false},
      {"\"C:\\users\\admin\\kvsetup.exe\" admin", true},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsUnattendedCommandLine(c.line), c.unattended) << c.line;
  EXPECT_FALSE(IsUnattendedCommandLine(nullptr));
}

TEST(CommandLine, SearchStepsOverDoubleByteCharacters) {
  // "\x81" + "a" is one GBK character whose trail byte is 'a': the "admin"
  // that would start inside it is not a word of the line.
  EXPECT_FALSE(IsUnattendedCommandLine("kvsetup.exe \x81" "admin"));
  EXPECT_TRUE(IsUnattendedCommandLine("kvsetup.exe \x81\x40" "admin"));
  // An unterminated quote keeps the whole line as the path.
  EXPECT_FALSE(IsUnattendedCommandLine("\"C:\\x\\kvsetup.exe admin"));
}

TEST(FolderRules, DefaultKeepsItsTrailingSeparator) {
  EXPECT_EQ(DefaultInstallFolder("C:\\Program Files"), "C:\\Program Files\\Kelvane\\");
}

TEST(FolderRules, BrowserChoiceGetsTheProductFolder) {
  EXPECT_EQ(FolderFromBrowser("D:\\"), "D:\\Kelvane\\");
  EXPECT_EQ(FolderFromBrowser("D:\\Tools\\"), "D:\\Tools\\Kelvane\\");
  EXPECT_EQ(FolderFromBrowser("D:\\Tools"), "D:\\Tools\\Kelvane\\");
  // Backslashes first, then slashes: a mixed tail keeps what the order leaves.
  EXPECT_EQ(FolderFromBrowser("D:\\x/\\"), "D:\\x\\Kelvane\\");
  EXPECT_EQ(FolderFromBrowser("D:\\x\\/"), "D:\\x\\\\Kelvane\\");
  EXPECT_EQ(FolderFromBrowser(""), "\\Kelvane\\");
}

TEST(FolderRules, EditTextLosesTrailingBlanksThenBackslashes) {
  EXPECT_EQ(FolderFromEditText("D:\\Apps\\Kelvane\\  "), "D:\\Apps\\Kelvane");
  EXPECT_EQ(FolderFromEditText("D:\\Apps\\Kelvane\\\\\\"), "D:\\Apps\\Kelvane");
  EXPECT_EQ(FolderFromEditText("  D:\\Apps\t"), "  D:\\Apps");
  // Blanks between backslashes: only the outer run of each is removed.
  EXPECT_EQ(FolderFromEditText("D:\\a\\ \\ "), "D:\\a\\ ");
  EXPECT_EQ(FolderFromEditText(""), "");
  EXPECT_EQ(FolderFromEditText("\\\\"), "");
  EXPECT_EQ(TrimTrailingBackslashes("C:\\Program Files\\Kelvane\\"), "C:\\Program Files\\Kelvane");
}

TEST(FolderRules, DoubleByteCharacterEndingIn5CIsNotASeparator) {
  // "\x81\x5C" is one GBK character whose trail byte is the backslash.
  EXPECT_EQ(TrimTrailingBackslashes("D:\\a\x81\x5C"), "D:\\a\x81\x5C");
  EXPECT_EQ(TrimTrailingBackslashes("D:\\a\x81\x5C\\\\"), "D:\\a\x81\x5C");
  EXPECT_EQ(FolderFromEditText("D:\\a\x81\x5C\\ "), "D:\\a\x81\x5C");
  EXPECT_EQ(FolderFromBrowser("D:\\a\x81\x5C"), "D:\\a\x81\x5C\\Kelvane\\");
}

TEST(UserNumber, TextConvertsLikeTheStandardDecimalConversion) {
  const struct {
    const char* text;
    int number;
  } cases[] = {
      {"0", 0},       {"", 0},          {"345", 345},          {"12ab", 12},         {" -7", -7},
      {"+42", 42},    {"ab12", 0},      {"00", 0},             {"\t 9", 9},          {"- 5", 0},
      {"007", 7},     {"2147483647", 2147483647},              {"99999999999999", 2147483647},
      {"-99999999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(UserNumberFromText(c.text), c.number) << '"' << c.text << '"';
  EXPECT_EQ(UserNumberFromText(nullptr), 0);
}

}  // namespace
