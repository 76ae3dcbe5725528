#include "core/shell_links.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "core/lnk_reader.h"

namespace {

// The link objects outlive single tests, so COM stays up for the whole run.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
};
const auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

std::string Folder(int csidl) {
  char path[MAX_PATH] = {};
  return ::SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) ? path : "";
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found = {};
  const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return names;
}

// Removes path whether it is a file or a folder of files.
void Remove(const std::string& path) {
  for (const std::string& name : Entries(path)) ::DeleteFileA((path + "\\" + name).c_str());
  ::RemoveDirectoryA(path.c_str());
  ::DeleteFileA(path.c_str());
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class ShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    programs_ = Folder(2);
    desktop_ = Folder(16);
    ASSERT_FALSE(programs_.empty());
    ASSERT_FALSE(desktop_.empty());
    productFolder_ = programs_ + "\\Kelvane";
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    Remove(productFolder_);
    ::DeleteFileA((desktop_ + "\\Kelvane.lnk").c_str());
  }

  std::string programs_, desktop_, productFolder_;
};

TEST_F(ShellLinkTest, StartMenuLinksTrimTrailingSeparators) {
  // The unattended run passes the folder with a trailing "\".
  CreateShellLinks("C:\\Program Files\\Kelvane\\\\");
  EXPECT_EQ(1, SaveShellLink(2, "Kelvane.lnk", 0, 1));
  EXPECT_EQ(1, SaveShellLink(2, "卸载.lnk", 1, 1))
      << "under Wine, Chinese file names need the zh_CN.UTF-8 locale generated on the Linux side";

  const LinkInfo run = ReadLinkFile((productFolder_ + "\\Kelvane.lnk").c_str());
  ASSERT_TRUE(run.loaded);
  EXPECT_EQ("C:\\Program Files\\Kelvane\\kvUpdate.exe", run.target);
  EXPECT_EQ("C:\\Program Files\\Kelvane", run.workingDir);
  EXPECT_EQ("运行Kelvane", run.description);
  EXPECT_EQ("", run.arguments);

  const LinkInfo uninstall = ReadLinkFile((productFolder_ + "\\卸载.lnk").c_str());
  ASSERT_TRUE(uninstall.loaded);
  EXPECT_EQ("C:\\Program Files\\Kelvane\\kv_Uninstall.exe", uninstall.target);
  EXPECT_EQ("C:\\Program Files\\Kelvane", uninstall.workingDir);
  EXPECT_EQ("卸载Kelvane", uninstall.description);

  // The GBK name reached the file system as the right Unicode name.
  const std::wstring wideFolder(productFolder_.begin(), productFolder_.end());  // ASCII path
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((wideFolder + L"\\卸载.lnk").c_str()));
  EXPECT_EQ(2u, Entries(productFolder_).size());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((desktop_ + "\\Kelvane.lnk").c_str()));
}

TEST_F(ShellLinkTest, FolderWithoutSeparatorAndChineseName) {
  CreateShellLinks("D:\\软件\\Kelvane");
  EXPECT_EQ(1, SaveShellLink(2, "Kelvane.lnk", 0, 1));
  const LinkInfo run = ReadLinkFile((productFolder_ + "\\Kelvane.lnk").c_str());
  ASSERT_TRUE(run.loaded);
  EXPECT_EQ("D:\\软件\\Kelvane\\kvUpdate.exe", run.target);
  EXPECT_EQ("D:\\软件\\Kelvane", run.workingDir);
}

TEST_F(ShellLinkTest, DesktopLinkGoesStraightIntoTheFolder) {
  CreateShellLinks("C:\\Program Files\\Kelvane\\");
  EXPECT_EQ(1, SaveShellLink(16, "Kelvane.lnk", 0, 0));
  const LinkInfo run = ReadLinkFile((desktop_ + "\\Kelvane.lnk").c_str());
  ASSERT_TRUE(run.loaded);
  EXPECT_EQ("C:\\Program Files\\Kelvane\\kvUpdate.exe", run.target);
  EXPECT_EQ("运行Kelvane", run.description);
  EXPECT_FALSE(IsFolder(desktop_ + "\\Kelvane"));
  EXPECT_FALSE(IsFolder(productFolder_));
}

TEST_F(ShellLinkTest, ExistingEmptyProductFolderIsUsed) {
  ASSERT_TRUE(::CreateDirectoryA(productFolder_.c_str(), nullptr));
  CreateShellLinks("C:\\K");
  EXPECT_EQ(1, SaveShellLink(2, "Kelvane.lnk", 0, 1));
  EXPECT_EQ(std::vector<std::string>{"Kelvane.lnk"}, Entries(productFolder_));
}

TEST_F(ShellLinkTest, FileInPlaceOfProductFolderFailsOnlyStartMenuSaves) {
  const HANDLE blocker = ::CreateFileA(productFolder_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, blocker);
  ::CloseHandle(blocker);
  CreateShellLinks("C:\\K");
  EXPECT_EQ(0, SaveShellLink(2, "Kelvane.lnk", 0, 1));
  EXPECT_EQ(0, SaveShellLink(2, "卸载.lnk", 1, 1));
  EXPECT_FALSE(IsFolder(productFolder_));
  EXPECT_EQ(1, SaveShellLink(16, "Kelvane.lnk", 0, 0));
}

TEST_F(ShellLinkTest, SecondInstallReplacesLinksAndFiles) {
  CreateShellLinks("C:\\Old\\");
  ASSERT_EQ(1, SaveShellLink(2, "Kelvane.lnk", 0, 1));
  ASSERT_EQ(1, SaveShellLink(16, "Kelvane.lnk", 0, 0));
  CreateShellLinks("D:\\New");
  EXPECT_EQ(1, SaveShellLink(2, "Kelvane.lnk", 0, 1));
  EXPECT_EQ(1, SaveShellLink(16, "Kelvane.lnk", 0, 0));
  EXPECT_EQ("D:\\New\\kvUpdate.exe", ReadLinkFile((productFolder_ + "\\Kelvane.lnk").c_str()).target);
  EXPECT_EQ("D:\\New", ReadLinkFile((desktop_ + "\\Kelvane.lnk").c_str()).workingDir);
}

TEST_F(ShellLinkTest, PathPastTheLimitSavesNothing) {
  CreateShellLinks("C:\\K");
  // Folder + "\" + name is one byte past the 259 characters a path may hold.
  const std::string longName(259 - desktop_.size(), 'k');
  EXPECT_EQ(0, SaveShellLink(16, longName.c_str(), 0, 0));
  EXPECT_EQ(0, SaveShellLink(2, longName.c_str(), 0, 1));
  EXPECT_TRUE(Entries(productFolder_).empty());
  // One byte shorter fits.
  const std::string fits = std::string(258 - desktop_.size() - 4, 'k') + ".lnk";
  EXPECT_EQ(1, SaveShellLink(16, fits.c_str(), 0, 0));
  EXPECT_TRUE(ReadLinkFile((desktop_ + "\\" + fits).c_str()).loaded);
  ::DeleteFileA((desktop_ + "\\" + fits).c_str());
}

}  // namespace
