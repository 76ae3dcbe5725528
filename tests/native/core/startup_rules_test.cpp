// Start-up and folder rules: which run the command line selects, and how the
// installation folder is formed from its three sources.
#include <gtest/gtest.h>

#include "base/gbk_text.h"
#include "core/command_line.h"
#include "core/folder_rules.h"
#include "report/user_number.h"

namespace {

// The command line as Windows gives it, from GBK test text.
CommandLineOptions Parse(const char* gbk) {
  std::u16string line;
  EXPECT_TRUE(GbkToUtf16(gbk, &line)) << gbk;
  return ParseCommandLine(line);
}

TEST(CommandLine, AdminIsLookedForOutsideOptionValuesOnly) {
  const struct {
    const char* line;
    bool unattended;
  } cases[] = {
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
      // Nor does a folder or a log file that holds the word.
      {"kvsetup.exe /DIR=C:\\admin\\Kelvane", false},
      {"kvsetup.exe /dir=\"C:\\my admin\\Kelvane\"", false},
      {"kvsetup.exe \"/LOG=C:\\logs\\admin.log\"", false},
      {"kvsetup.exe /DIR=C:\\admin\\Kelvane admin", true},
      {"kvsetup.exe /NODESKTOP=admin", true},  // no option takes a value there
      {"kvsetup.exe \xB9\xDC\xC0\xED admin", true},
      // A double-byte character whose trail byte is 'a' does not start the word.
      {"kvsetup.exe \x81" "admin", false},
      {"kvsetup.exe \x81\x40" "admin", true},
      // An unterminated quote keeps the whole line as the path.
      {"\"C:\\x\\kvsetup.exe admin", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.line).unattended, c.unattended) << c.line;
}

// A launcher that leaves the program's path unquoted: Windows still starts
// the program, and the arguments start after its whole path.
TEST(CommandLine, UnquotedPathWithBlanksIsTheProgramsOwn) {
  const char* module = "C:\\Program Files\\admin\\kvsetup.exe";
  const struct {
    const char* line;
    bool unattended;
    const char* dir;
  } cases[] = {
      {"C:\\Program Files\\admin\\kvsetup.exe", false, ""},
      {"c:\\program files\\ADMIN\\KVSETUP.EXE", false, ""},
      {"C:\\Program Files\\admin\\kvsetup", false, ""},
      {"C:\\Program Files\\admin\\kvsetup.exe admin", true, ""},
      {"C:\\Program Files\\admin\\kvsetup admin /DIR=D:\\K", true, "D:\\K"},
      {"C:\\Program Files\\admin\\kvsetup.exe /DIR=D:\\admin", false, "D:\\admin"},
      // Only at a blank: a longer name is not this program's path.
      {"C:\\Program Files\\admin\\kvsetup.exe.bak", true, ""},
      {"\"C:\\Program Files\\admin\\kvsetup.exe\" admin", true, ""},
      // Another spelling of the path (8.3 names): the first blank ends it.
      {"C:\\PROGRA~1\\admin\\kvsetup.exe", false, ""},
  };
  std::u16string modulePath;
  ASSERT_TRUE(GbkToUtf16(module, &modulePath));
  for (const auto& c : cases) {
    std::u16string line;
    ASSERT_TRUE(GbkToUtf16(c.line, &line));
    const CommandLineOptions o = ParseCommandLine(line, modulePath);
    std::string dir;
    EXPECT_TRUE(Utf16ToGbk(o.dir, &dir));
    EXPECT_EQ(o.unattended, c.unattended) << c.line;
    EXPECT_EQ(dir, c.dir) << c.line;
  }
  // Without the module's path, the first blank ends the program's path as before.
  EXPECT_TRUE(Parse("C:\\Program Files\\admin\\kvsetup.exe").unattended);
}

TEST(CommandLine, OptionsTakeTheirValuesAsTyped) {
  const struct {
    const char* line;
    bool dirGiven;
    const char* dir;
    bool logGiven;
    const char* log;
    bool noDesktop, help;
    const char* unknown;  // the passed-over words, joined by spaces
  } cases[] = {
      {"k.exe /DIR=D:\\Apps\\Kelvane", true, "D:\\Apps\\Kelvane", false, "", false, false, ""},
      {"k.exe /DIR=\"D:\\My Apps\\Kelvane\"", true, "D:\\My Apps\\Kelvane", false, "", false, false, ""},
      {"k.exe \"/dir=D:\\My Apps\\\" /Log=x.log", true, "D:\\My Apps\\", true, "x.log", false, false, ""},
      {"k.exe /DIR=D:\\游戏\\Kelvane", true, "D:\\游戏\\Kelvane", false, "", false, false, ""},
      {"k.exe /DIR=C:\\one /DIR=C:\\two", true, "C:\\two", false, "", false, false, ""},
      {"k.exe /DIR=", true, "", false, "", false, false, ""},
      {"k.exe /DIR", true, "", false, "", false, false, ""},
      {"k.exe /DIR=a=b", true, "a=b", false, "", false, false, ""},
      {"k.exe /nodesktop /HELP", false, "", false, "", true, true, ""},
      {"k.exe /?", false, "", false, "", false, true, ""},
      {"k.exe /S /VERYSILENT /D=C:\\x /NODESKTOP=1", false, "", false, "", false, false,
       "/S /VERYSILENT /D=C:\\x /NODESKTOP=1"},
      {"k.exe -dir=C:\\x dir=C:\\y", false, "", false, "", false, false, ""},
  };
  for (const auto& c : cases) {
    const CommandLineOptions o = Parse(c.line);
    std::string dir, log, unknown;
    EXPECT_TRUE(Utf16ToGbk(o.dir, &dir) && Utf16ToGbk(o.log, &log));
    for (const std::u16string& word : o.unknown) {
      std::string gbk;
      EXPECT_TRUE(Utf16ToGbk(word, &gbk));
      unknown += (unknown.empty() ? "" : " ") + gbk;
    }
    EXPECT_EQ(o.dirGiven, c.dirGiven) << c.line;
    EXPECT_EQ(dir, c.dir) << c.line;
    EXPECT_EQ(o.logGiven, c.logGiven) << c.line;
    EXPECT_EQ(log, c.log) << c.line;
    EXPECT_EQ(o.noDesktop, c.noDesktop) << c.line;
    EXPECT_EQ(o.help, c.help) << c.line;
    EXPECT_EQ(unknown, c.unknown) << c.line;
  }
}

TEST(CommandLine, ProgramTitleIsTheFileNameWithoutExtension) {
  const struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"C:\\users\\admin\\Downloads\\kvsetup.exe", "kvsetup"},
      {"C:\\x\\Kelvane-2.1.0-setup.exe", "Kelvane-2.1.0-setup"},
      {"D:/a.b/setup", "setup"},
      {"setup.tar.exe", "setup.tar"},
      {"C:\\x\\.exe", ".exe"},
      {"C:kv.exe", "kv"},
      // "\x81\x5C" is one character, not a separator.
      {"C:\\a\x81\x5C" "b.exe", "a\x81\x5C" "b"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramTitle(c.path), c.title) << c.path;
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

TEST(FolderRules, InstallFolderIsCheckedBeforeAnythingIsWritten) {
  const std::string longest(250, 'a');  // "C:\" + these is 253 bytes
  const struct {
    std::string folder;
    size_t longestName;
    FolderProblem problem;
  } cases[] = {
      {"", 12, FolderProblem::Empty},
      {" \\ ", 12, FolderProblem::Empty},
      {"Kelvane", 12, FolderProblem::NotFullPath},
      {"Apps\\Kelvane", 12, FolderProblem::NotFullPath},
      {"\\Apps\\Kelvane", 12, FolderProblem::NotFullPath},
      {" C:\\Apps", 12, FolderProblem::NotFullPath},
      {"C:Apps", 12, FolderProblem::NotFullPath},
      {"1:\\Apps", 12, FolderProblem::NotFullPath},
      {"\\\\server", 12, FolderProblem::NotFullPath},
      {"\\\\server\\", 12, FolderProblem::NotFullPath},
      {"\\\\.\\C:\\x", 12, FolderProblem::NotFullPath},
      {"\\\\?\\C:\\x", 12, FolderProblem::NotFullPath},
      // Device names and ':' past the drive: every entry below would fail.
      {"D:\\con\\Kelvane", 12, FolderProblem::BadName},
      {"C:\\x\\nul.txt\\y", 12, FolderProblem::BadName},
      {"C:\\Apps\\LPT1", 12, FolderProblem::BadName},
      {"\\\\server\\share\\aux", 12, FolderProblem::BadName},
      {"C:\\a:b", 12, FolderProblem::BadName},
      {"C:\\a\\b:", 12, FolderProblem::BadName},
      {"C:\\Program Files (x86)\\Kelvane", 12, FolderProblem::None},
      {"C:\\console\\com10\\nul1", 12, FolderProblem::None},
      {"C:", 12, FolderProblem::None},  // what "C:\\" is stored as
      {"C:\\Apps\\Kelvane", 12, FolderProblem::None},
      {"d:/Apps", 12, FolderProblem::None},
      {"\\\\server\\share", 12, FolderProblem::None},
      {"\\\\server\\share\\Kelvane", 12, FolderProblem::None},
      // "folder\\name" plus its NUL must fit 260 bytes.
      {"C:\\" + std::string(243, 'a'), 12, FolderProblem::None},
      {"C:\\" + std::string(244, 'a'), 12, FolderProblem::TooLong},
      {"C:\\" + longest, 12, FolderProblem::TooLong},
      {"C:\\" + longest, 0, FolderProblem::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckInstallFolder(c.folder, c.longestName), c.problem) << c.folder;
    EXPECT_EQ(FolderProblemText(c.problem)[0] == '\0', c.problem == FolderProblem::None) << c.folder;
  }
}

TEST(FolderRules, FolderBoxTextIsTakenOnlyWhenGbkCanHoldIt) {
  // The box holds UTF-16: the folder goes on as GBK, or is refused before
  // anything is written.
  const struct {
    std::u16string box;
    std::string folder;
    FolderProblem problem;
  } cases[] = {
      {u"C:\\\u6E38\u620F\\Kelvane\\ ", "C:\\\xD3\xCE\xCF\xB7\\Kelvane", FolderProblem::None},  // 游戏
      {u"D:\\\u6E38\u620F\\\u8BF4\u660E\\", "D:\\\xD3\xCE\xCF\xB7\\\xCB\xB5\xC3\xF7", FolderProblem::None},
      {u"C:\\\uD55C\\Kelvane", "", FolderProblem::NotGbk},      // Korean 한
      {u"C:\\Kelvane\\\U0001F600", "", FolderProblem::NotGbk},  // outside the BMP
      {std::u16string(u"C:\\Kelvane") + char16_t(0xD800), "", FolderProblem::NotGbk},  // unpaired surrogate
      {u"\u6E38\u620F", "\xD3\xCE\xCF\xB7", FolderProblem::NotFullPath},  // held, then checked
      {u"", "", FolderProblem::Empty},
  };
  for (const auto& c : cases) {
    std::string folder = "old";
    EXPECT_EQ(CheckFolderBoxText(c.box, 12, &folder), c.problem) << c.folder;
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(FolderProblemText(c.problem)[0] == '\0', c.problem == FolderProblem::None);
  }
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
