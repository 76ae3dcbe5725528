// Whether an install fits on its drive: the sum, the folder it is asked of,
// and the words that say it does not.
#include <gtest/gtest.h>

#include <set>

#include "archive/held_wait.h"
#include "core/disk_space.h"

namespace {

constexpr uint64_t kMiB = 1 << 20;

TEST(DiskSpace, StagingCountsEveryFileWrittenTheJournalAndTheRecord) {
  const struct {
    const char* row;
    std::vector<uint64_t> written;
    uint64_t journal, record;
    uint32_t cluster;
    uint64_t need;
  } rows[] = {
      {"nothing written: the journal and the record", {}, 100, 900, 4096, 8192 + kSpaceMargin},
      {"each file in whole clusters", {1, 4096, 4097}, 100, 100, 4096, 4096 * 4 + 8192 + kSpaceMargin},
      {"empty files take none", {0, 0}, 1, 1, 512, 1024 + kSpaceMargin},
      {"large files, 64 KiB clusters", {100 * kMiB + 1}, 1, 1, 65536, 100 * kMiB + 65536 * 3 + kSpaceMargin},
  };
  for (const auto& r : rows) EXPECT_EQ(StagingSpaceNeeded(r.written, r.journal, r.record, r.cluster), r.need) << r.row;
}

TEST(DiskSpace, AskedOfTheNearestFolderThatExists) {
  const std::set<std::string> existing = {"K:\\", "K:\\Apps", "D:", "\\\\srv\\share\\", "C:\\游戏"};
  const auto isFolder = [&](const std::string& path) { return existing.count(path) != 0; };
  const struct {
    const char* folder;
    const char* nearest;
  } rows[] = {
      {"K:\\Apps\\Kelvane", "K:\\Apps"},
      {"K:\\Apps\\Kelvane\\", "K:\\Apps"},
      {"K:\\Apps", "K:\\Apps"},
      {"K:\\New\\Deep/Kelvane", "K:\\"},
      {"K:\\", "K:\\"},
      {"D:\\x", ""},  // "D:" is the drive's current folder, not its root
      {"\\\\srv\\share\\Apps\\Kelvane", "\\\\srv\\share\\"},
      {"C:\\游戏\\Kelvane", "C:\\游戏"},
      {"Z:\\Kelvane", ""},
      {"Kelvane", ""},
      {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(NearestExistingFolder(r.folder, isFolder), r.nearest) << r.folder;
}

TEST(DiskSpace, MessagesNeverReadAsIfItFitted) {
  // 6.2 MiB needed, 3.9 MiB free: 7 MB and 3 MB, never 6 and 4.
  const uint64_t need = 6 * kMiB + kMiB / 5, free = 4 * kMiB - 100000;
  EXPECT_EQ(NoSpaceMessage(need, free, "K:\\"),
            "磁盘空间不足：安装需要 7 MB，K:\\ 只有 3 MB 可用。请选择其他位置或释放磁盘空间。");
  EXPECT_EQ(NoSpaceLine(need, free, "K:\\"), "not enough disk space on K:\\: the install needs 6501171 bytes, "
                                             "4094304 are free; nothing was installed");
}

// The pauses of one round, as a clock that advances by each pause and by
// what each try costs sees them.
std::vector<uint32_t> Round(uint32_t tryCostMs) {
  HeldFileWait wait;
  std::vector<uint32_t> pauses;
  uint32_t elapsed = 0;
  for (uint32_t pause; (pause = wait.NextPause(elapsed)) != 0;) {
    pauses.push_back(pause);
    elapsed += pause + tryCostMs;
  }
  return pauses;
}

TEST(HeldFileWait, PausesGrowToASecondWithinTenSeconds) {
  const std::vector<uint32_t> fast = Round(0);
  ASSERT_GE(fast.size(), 6u);
  EXPECT_EQ(std::vector<uint32_t>(fast.begin(), fast.begin() + 6), (std::vector<uint32_t>{50, 100, 200, 400, 800, 1000}));
  uint32_t total = 0;
  for (uint32_t p : fast) total += p;
  EXPECT_EQ(total, 10000u);  // the last pause is cut to the round's end
  EXPECT_EQ(fast.size(), 14u);
  // Slow tries (a busy disk) eat into the round: fewer pauses, same bound.
  EXPECT_EQ(Round(2000), (std::vector<uint32_t>{50, 100, 200, 400, 800}));
  // A clock that jumps past the round ends it at once.
  HeldFileWait wait;
  EXPECT_EQ(wait.NextPause(0), 50u);
  EXPECT_EQ(wait.NextPause(60000), 0u);
}

TEST(HeldFileWait, WhichErrorsMeanAnotherProgramHoldsTheFile) {
  const struct {
    uint32_t error;
    bool readOnly, held;
  } rows[] = {
      {kErrorSharingViolation, false, true}, {kErrorLockViolation, false, true}, {kErrorAccessDenied, false, true},
      {kErrorAccessDenied, true, false},     {kErrorSharingViolation, true, true}, {2, false, false},
      {112, false, false},                   {0, false, false},
  };
  for (const auto& r : rows) EXPECT_EQ(IsHeldFileError(r.error, r.readOnly), r.held) << r.error << " " << r.readOnly;
}

}  // namespace
