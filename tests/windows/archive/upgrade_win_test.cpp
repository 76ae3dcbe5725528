// The mending of a switch cut short on a real file system, from the files a
// journal names: finished, undone, or left alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "archive/upgrade_journal.h"
#include "archive/upgrade_win.h"
#include "fresh_folder.h"

namespace {

std::string Read(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(none)";
  char buffer[4096];
  DWORD read = 0;
  (void)::ReadFile(file, buffer, sizeof buffer, &read, nullptr);
  ::CloseHandle(file);
  return std::string(buffer, read);
}

void Write(const std::string& path, const std::string& data) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  (void)::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  ::CloseHandle(file);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(UpgradeWin, ASwitchCutShortIsFinishedOnceFromWhatIsOnDisk) {
  const std::string folder = FreshTempFolder("kvmend");
  ASSERT_FALSE(folder.empty());
  const std::string staging = folder + "\\~kvstage";
  ASSERT_TRUE(::CreateDirectoryA(staging.c_str(), nullptr));
  // Step 0 replaced and done, step 1 with its old file aside, step 2 (a
  // removal) not begun.
  Write(folder + "\\a.txt", "new a");
  Write(staging + "\\0.old", "old a");
  Write(staging + "\\1.old", "old b");
  Write(staging + "\\1.new", "new b");
  Write(folder + "\\c.txt", "dropped c");
  Write(staging + "\\journal.txt", SerializeJournal({{0, StepKind::Replace, "a.txt"},
                                                     {1, StepKind::Replace, "b.txt"},
                                                     {2, StepKind::Remove, "c.txt"}}));
  std::string said;
  EXPECT_EQ(RecoverInstallFolder(folder.c_str(), &said), FolderRecovery::Finished) << said;
  EXPECT_EQ(Read(folder + "\\a.txt"), "new a");
  EXPECT_EQ(Read(folder + "\\b.txt"), "new b");
  EXPECT_FALSE(Exists(folder + "\\c.txt"));
  EXPECT_FALSE(Exists(staging));
  EXPECT_EQ(RecoverInstallFolder(folder.c_str(), &said), FolderRecovery::Nothing);

  // Step 1's new file gone by hand: it cannot go forward, so all goes back.
  ASSERT_TRUE(::CreateDirectoryA(staging.c_str(), nullptr));
  Write(staging + "\\0.old", "older a");
  Write(staging + "\\1.old", "older b");
  ASSERT_TRUE(::DeleteFileA((folder + "\\b.txt").c_str()));
  Write(staging + "\\journal.txt", SerializeJournal({{0, StepKind::Replace, "a.txt"},
                                                     {1, StepKind::Replace, "b.txt"}}));
  EXPECT_EQ(RecoverInstallFolder(folder.c_str(), &said), FolderRecovery::Undone) << said;
  EXPECT_EQ(Read(folder + "\\a.txt"), "older a");
  EXPECT_EQ(Read(folder + "\\b.txt"), "older b");
  EXPECT_FALSE(Exists(staging));

  // A journal that does not read is left alone, folder and all.
  ASSERT_TRUE(::CreateDirectoryA(staging.c_str(), nullptr));
  Write(staging + "\\journal.txt", "kvsetup switch journal 1\r\n0\tR\ta.txt\r\n");
  EXPECT_EQ(RecoverInstallFolder(folder.c_str(), &said), FolderRecovery::Failed);
  EXPECT_TRUE(Exists(staging + "\\journal.txt"));
}

}  // namespace
