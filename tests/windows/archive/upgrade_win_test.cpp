// An upgrade on a real file system: what it keeps, replaces and removes, and
// the mending of a switch cut short, from the files a journal names.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/install_record.h"
#include "archive/upgrade_journal.h"
#include "archive/upgrade_win.h"
#include "fresh_folder.h"
#include "zip_builder.h"

namespace {

using ziptest::Archive;
using ziptest::Build;
using ziptest::Entry;

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

uint64_t FileId(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info = {};
  (void)::GetFileInformationByHandle(file, &info);
  ::CloseHandle(file);
  return static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

PayloadResult Install(const std::vector<Entry>& entries, const std::string& folder) {
  const std::string zip = Build(Archive(entries));
  ZipHandle* handle = ZipOpenMemory(zip.data(), static_cast<uint32_t>(zip.size()));
  const PayloadResult result = UpgradeArchive(handle, folder.c_str(), nullptr);
  (void)ZipClose(handle);
  return result;
}

TEST(UpgradeWin, KeepsWhatIsUnchangedReplacesTheRestAndRemovesWhatWasDropped) {
  const std::string folder = FreshTempFolder("kvupgrade");
  ASSERT_FALSE(folder.empty());
  ASSERT_TRUE(Install({{"same.txt", "same"}, {"old.txt", "1.4.3"}, {"d/dropped.txt", "dropped"},
                       {"d/edited.txt", "as shipped"}},
                      folder)
                  .Complete());
  EXPECT_TRUE(Exists(folder + "\\kvsetup.files"));
  const uint64_t sameId = FileId(folder + "\\same.txt");
  Write(folder + "\\d\\edited.txt", "changed by the user");
  Write(folder + "\\mine.txt", "the user's");

  const PayloadResult next = Install({{"same.txt", "same"}, {"old.txt", "1.4.4"}, {"new/added.txt", "added"}}, folder);
  EXPECT_TRUE(next.Complete());
  EXPECT_FALSE(next.unchanged);
  EXPECT_EQ(next.keptCount, 1);
  EXPECT_EQ(next.removedCount, 1);
  EXPECT_EQ(FileId(folder + "\\same.txt"), sameId);
  EXPECT_EQ(Read(folder + "\\old.txt"), "1.4.4");
  EXPECT_EQ(Read(folder + "\\new\\added.txt"), "added");
  EXPECT_FALSE(Exists(folder + "\\d\\dropped.txt"));
  EXPECT_EQ(Read(folder + "\\d\\edited.txt"), "changed by the user");
  EXPECT_EQ(Read(folder + "\\mine.txt"), "the user's");
  EXPECT_FALSE(Exists(folder + "\\~kvstage"));
  std::vector<RecordedFile> record;
  ASSERT_TRUE(ParseInstallRecord(Read(folder + "\\kvsetup.files"), &record));
  EXPECT_EQ(record.size(), 3u);

  // A bad entry: nothing changes, and nothing of the staging stays.
  Entry bad("old.txt", "1.4.5");
  bad.crc = 1;
  const PayloadResult failed = Install({{"same.txt", "same"}, bad}, folder);
  EXPECT_FALSE(failed.Complete());
  EXPECT_TRUE(failed.unchanged);
  EXPECT_EQ(Read(folder + "\\old.txt"), "1.4.4");
  EXPECT_TRUE(Exists(folder + "\\new\\added.txt"));
  EXPECT_FALSE(Exists(folder + "\\~kvstage"));
}

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
