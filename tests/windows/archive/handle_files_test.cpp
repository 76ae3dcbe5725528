// Files made, renamed and deleted by name within a folder handle, under Wine:
// the handle, not the path that led to the folder, says where they go.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/handle_files_win.h"
#include "fresh_folder.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class HandleFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = FreshTempFolder("kvhf");
    ASSERT_FALSE(base_.empty());
    for (const char* folder : {"a", "b"}) ASSERT_TRUE(::CreateDirectoryA(Path(folder).c_str(), nullptr));
    a_ = Hold("a");
    b_ = Hold("b");
    ASSERT_TRUE(a_ && b_);
  }
  void TearDown() override {
    a_.reset();
    b_.reset();
    for (const char* file : {"a\\f.txt", "a\\g.txt", "b\\f.txt", "moved\\f.txt", "moved\\g.txt"}) {
      (void)::DeleteFileA(Path(file).c_str());
    }
    for (const char* folder : {"a\\sub", "a", "b", "moved", ""}) (void)::RemoveDirectoryA(Path(folder).c_str());
  }
  std::string Path(const std::string& relative) const { return relative.empty() ? base_ : base_ + "\\" + relative; }
  // Held as the unpacking holds it, but with delete sharing, so that the
  // test can move it away.
  UniqueHandle Hold(const char* folder) const {
    return UniqueHandle(::CreateFileA(Path(folder).c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  }
  std::string Read(const std::string& relative) const {
    char data[64] = "";
    DWORD got = 0;
    const UniqueHandle file(::CreateFileA(Path(relative).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0,
                                          nullptr));
    if (!file || !::ReadFile(file.get(), data, sizeof data, &got, nullptr)) return "(none)";
    return std::string(data, got);
  }
  static void Write(HANDLE file, const char* text) {
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr));
  }

  std::string base_;
  UniqueHandle a_, b_;
};

// The folder moved away and another put at its name: what is made through
// the handle lands in the folder the handle holds, never at the path.
TEST_F(HandleFilesTest, NamesGoToTheHeldFolderWhereverItsPathNowLeads) {
  ASSERT_TRUE(::MoveFileA(Path("a").c_str(), Path("moved").c_str()));
  ASSERT_TRUE(::CreateDirectoryA(Path("a").c_str(), nullptr));
  UniqueHandle file = CreateFileIn(a_.get(), L"f.txt", GENERIC_WRITE | DELETE, 0, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(file);
  Write(file.get(), "new");
  // Windows renames within the held folder. Wine keeps a folder's path with
  // its handle and refuses the rename (ERROR_INVALID_HANDLE) rather than go
  // by that path. Neither puts anything at the path.
  const bool renamed = RenameInto(file.get(), a_.get(), L"g.txt", false);
  const wchar_t* name = renamed ? L"g.txt" : L"f.txt";
  file.reset();
  EXPECT_EQ("new", Read(renamed ? "moved\\g.txt" : "moved\\f.txt"));
  for (const char* path : {"a\\f.txt", "a\\g.txt"}) EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(Path(path).c_str()));
  EXPECT_TRUE(OpenFileIn(a_.get(), name, GENERIC_READ, kShareAll));
}

TEST_F(HandleFilesTest, RenamesBetweenHeldFoldersReplaceOnlyWhenAsked) {
  UniqueHandle old = CreateFileIn(b_.get(), L"f.txt", GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(old);
  Write(old.get(), "old");
  old.reset();
  EXPECT_FALSE(CreateFileIn(b_.get(), L"F.TXT", GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), ::GetLastError());

  UniqueHandle file = CreateFileIn(a_.get(), L"f.txt", GENERIC_WRITE | DELETE, 0, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(file);
  Write(file.get(), "new");
  EXPECT_FALSE(RenameInto(file.get(), b_.get(), L"f.txt", false));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), ::GetLastError());
  EXPECT_EQ("old", Read("b\\f.txt"));
  EXPECT_TRUE(RenameInto(file.get(), b_.get(), L"f.txt", true));
  file.reset();
  EXPECT_EQ("new", Read("b\\f.txt"));
  EXPECT_EQ("(none)", Read("a\\f.txt"));
  EXPECT_TRUE(DeleteIn(b_.get(), L"f.txt"));
  EXPECT_EQ("(none)", Read("b\\f.txt"));
  EXPECT_FALSE(DeleteIn(b_.get(), L"f.txt"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}

TEST_F(HandleFilesTest, HeldFilesFoldersAndBadNamesSayWhy) {
  UniqueHandle made = CreateFileIn(a_.get(), L"f.txt", GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(made);
  made.reset();
  // Another program's handle without delete sharing: a delete-access open
  // fails for sharing, which is how a held file is told from a denied one.
  const UniqueHandle holder(::CreateFileA(Path("a\\f.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_FALSE(OpenFileIn(a_.get(), L"f.txt", DELETE, kShareAll));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
  EXPECT_TRUE(OpenFileIn(a_.get(), L"f.txt", GENERIC_READ, kShareAll));

  EXPECT_FALSE(OpenFileIn(a_.get(), L"missing.txt", GENERIC_READ, kShareAll));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
  EXPECT_FALSE(OpenFolderIn(a_.get(), L"f.txt", FILE_TRAVERSE, kShareAll, true));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), ::GetLastError());
  EXPECT_FALSE(OpenFolderIn(a_.get(), L"sub", FILE_TRAVERSE, kShareAll, false));
  EXPECT_TRUE(OpenFolderIn(a_.get(), L"sub", FILE_TRAVERSE, kShareAll, true));
  EXPECT_TRUE(OpenFolderIn(a_.get(), L"sub", FILE_TRAVERSE, kShareAll, false));

  // One name within the folder, nothing that leaves it.
  for (const wchar_t* name : {L"", L".", L"..", L"..\\b\\x.txt", L"sub/x.txt", L"sub\\x.txt"}) {
    EXPECT_FALSE(CreateFileIn(a_.get(), name, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), ::GetLastError());
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(Path("b\\x.txt").c_str()));
}

}  // namespace
