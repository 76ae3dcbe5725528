// The folders an entry is written into, held under Wine: made where missing,
// kept from being renamed or removed while held, and refused when something
// else stands in their place. (Links themselves are made from Linux: the
// end-to-end tests.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "archive/link_guard_win.h"
#include "archive/zip_reader.h"
#include "fresh_folder.h"

namespace {

class LinkGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = FreshTempFolder("kvlg");
    ASSERT_FALSE(base_.empty());
  }
  void TearDown() override {
    // What the tests made, deepest first; a failure here leaves a little in %TEMP%.
    for (const char* file : {"root\\a\\b\\new.txt", "root\\a2\\b\\old.txt", "root\\c"}) {
      (void)::DeleteFileA(Path(file).c_str());
    }
    for (const char* folder : {"root\\a\\b", "root\\a2\\b", "root\\a", "root\\a2", "root\\c", "root\\d", "root", ""}) {
      (void)::RemoveDirectoryA(Path(folder).c_str());
    }
  }
  std::string Path(const std::string& relative) const { return relative.empty() ? base_ : base_ + "\\" + relative; }
  bool IsFolder(const std::string& relative) const {
    const DWORD a = ::GetFileAttributesA(Path(relative).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  bool Rename(const std::string& from, const std::string& to) const {
    return ::MoveFileA(Path(from).c_str(), Path(to).c_str()) != FALSE;
  }
  void WriteFile(const std::string& relative) const {
    FILE* f = std::fopen(Path(relative).c_str(), "wb");
    ASSERT_NE(nullptr, f) << relative;
    std::fclose(f);
  }

  std::string base_;
};

TEST_F(LinkGuardTest, HeldFoldersAreMadeAndCannotBeMovedUntilLetGo) {
  LinkGuard guard(Path("root").c_str());
  EXPECT_EQ(ZRES_CANNOT_OPEN, guard.Hold("a/b/old.txt", false, false));  // not made when only looking
  EXPECT_FALSE(IsFolder("root"));

  ASSERT_EQ(ZRES_OK, guard.Hold("a/b/old.txt", false, true));
  EXPECT_TRUE(IsFolder("root\\a\\b"));
  // The root and every folder on the way stay where they are...
  EXPECT_FALSE(Rename("root\\a", "root\\a2"));
  EXPECT_FALSE(Rename("root", "moved"));
  EXPECT_FALSE(::RemoveDirectoryA(Path("root\\a\\b").c_str()));
  // ...while the files in them are made, replaced and renamed as ever.
  WriteFile("root\\a\\b\\old.txt");
  WriteFile("root\\a\\b\\new.txt");
  EXPECT_TRUE(::MoveFileExA(Path("root\\a\\b\\new.txt").c_str(), Path("root\\a\\b\\old.txt").c_str(),
                            MOVEFILE_REPLACE_EXISTING));

  // A name in the same folder keeps it; another lets it go, the root excepted.
  EXPECT_EQ(ZRES_OK, guard.Hold("a\\b/other.txt", false, true));
  EXPECT_FALSE(Rename("root\\a", "root\\a2"));
  EXPECT_EQ(ZRES_OK, guard.Hold("d/", true, true));
  EXPECT_TRUE(IsFolder("root\\d"));
  EXPECT_TRUE(Rename("root\\a", "root\\a2"));
  EXPECT_FALSE(Rename("root", "moved"));
  EXPECT_EQ("", guard.LinkedFolders());
}

TEST_F(LinkGuardTest, WhatCannotBeAFolderIsRefusedAndNothingIsMade) {
  ASSERT_TRUE(::CreateDirectoryA(Path("root").c_str(), nullptr));
  WriteFile("root\\c");
  LinkGuard guard(Path("root").c_str());
  EXPECT_EQ(ZRES_CANNOT_OPEN, guard.Hold("c/x.txt", false, true));  // a file where a folder should be
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), ::GetLastError());
  // Refused before anything is made: a device, a stream of root\x.
  for (const char* name : {"con/x.txt", "x:y/z.txt"}) {
    EXPECT_EQ(ZRES_CANNOT_OPEN, guard.Hold(name, false, true)) << name;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), ::GetLastError()) << name;
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(Path("root\\x").c_str()));
}

}  // namespace
