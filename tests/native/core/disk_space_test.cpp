// Whether an install fits on its drive: the sum, the folder it is asked of,
// and the words that say it does not.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "archive/held_wait.h"
#include "core/disk_space.h"

namespace {

constexpr uint64_t kMiB = 1 << 20;

TEST(DiskSpace, NeedCountsClustersReplacedFilesAndTheLargestEntry) {
  const struct {
    const char* row;
    std::vector<PlannedFile> files;
    uint32_t cluster;
    uint64_t need;
  } rows[] = {
      {"nothing", {}, 4096, kSpaceMargin},
      {"one byte takes a cluster, twice", {{1, 0}}, 4096, 4096 + 4096 + kSpaceMargin},
      {"empty files take none", {{0, 0}, {0, 0}}, 4096, kSpaceMargin},
      {"exact clusters", {{8192, 0}, {4096, 0}}, 4096, 12288 + 8192 + kSpaceMargin},
      {"a cluster of 0 counts bytes", {{10, 0}, {3, 0}}, 0, 13 + 10 + kSpaceMargin},
      {"a replaced file gives back its clusters", {{6 * kMiB, 0}, {4000, 4096}}, 4096, 6 * kMiB + 6 * kMiB + kSpaceMargin},
      {"an older, larger file gives room back", {{4096, 0}, {4096, 12288}}, 4096, 0 + 4096 + kSpaceMargin},
      {"never below the largest and the margin", {{4096, 1 << 30}}, 4096, 4096 + kSpaceMargin},
      {"64 KiB clusters", {{70000, 0}}, 65536, 131072 * 2 + kSpaceMargin},
      {"no power of two: the next one", {{1, 0}}, 3000, 4096 * 2 + kSpaceMargin},
  };
  for (const auto& r : rows) EXPECT_EQ(SpaceNeeded(r.files, r.cluster), r.need) << r.row;
}

TEST(DiskSpace, AReplacedFileGivesBackOnlyWhatItTakesOnTheDisk) {
  EXPECT_EQ(FreedByReplacing(65536, 1, false), 65536u);  // a compressed file: what it takes, not its length
  EXPECT_EQ(FreedByReplacing(65536, 2, false), 0u);      // a hard link's data stay under its other name
  EXPECT_EQ(FreedByReplacing(65536, 1, true), 0u);       // a link: what it leads to stays
  EXPECT_EQ(FreedByReplacing(0, 0, false), 0u);          // a file system without link counts
  EXPECT_EQ(FreedByReplacing(12, 0, false), 12u);
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

TEST(HeldFileWait, WhichRefusalsMeanAnotherProgramHoldsTheFile) {
  constexpr uint32_t kNotFound = 2;
  const struct {
    ReplaceRefusal refusal;
    bool held;
  } rows[] = {
      {{kErrorSharingViolation, false, 0, 0}, true},
      {{kErrorLockViolation, false, 0, 0}, true},
      {{kErrorSharingViolation, true, 0, 0}, true},
      // Denied, and a delete-access open fails for sharing: another
      // program has it open without delete sharing.
      {{kErrorAccessDenied, false, kErrorSharingViolation, 0}, true},
      // Denied, the delete open works, a write open fails for sharing: a
      // running program's image.
      {{kErrorAccessDenied, false, 0, kErrorSharingViolation}, true},
      // Both open: the hold ended a moment ago, or the file went; try again.
      {{kErrorAccessDenied, false, 0, 0}, true},
      {{kErrorAccessDenied, false, kNotFound, 0}, true},
      // Denied by the file's security, nothing holds it: no wait helps.
      {{kErrorAccessDenied, false, kErrorAccessDenied, 0}, false},
      {{kErrorAccessDenied, false, 0, kErrorAccessDenied}, false},
      {{kErrorAccessDenied, true, kErrorSharingViolation, 0}, false},  // read-only: refused for good
      {{kNotFound, false, 0, 0}, false},
      {{112, false, 0, 0}, false},
      {{0, false, 0, 0}, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(IsHeldFile(r.refusal), r.held) << r.refusal.error << " " << r.refusal.readOnly << " "
                                             << r.refusal.deleteOpenError << " " << r.refusal.writeOpenError;
  }
}

// Files held for good, one after another, each waited for until its round
// ends: how long each waits, on a clock that each try moves by tryMs.
std::vector<uint32_t> HeldForGood(RunHeldBudget& budget, int files, uint32_t* clock, uint32_t tryMs = 0) {
  std::vector<uint32_t> waits;
  for (int file = 0; file < files; ++file) {
    const uint32_t start = *clock;
    budget.BeginRound(start, false);
    for (uint32_t pause; (pause = budget.NextPause(*clock)) != 0;) *clock += pause + tryMs;
    budget.EndRound(*clock);
    waits.push_back(*clock - start);
  }
  return waits;
}

TEST(RunHeldBudget, TenSecondsForTheFirstFileThenFiveAndThirtyInAll) {
  uint32_t clock = 0xFFFFF000u;  // wraps during the run
  RunHeldBudget budget;
  EXPECT_EQ(HeldForGood(budget, 3, &clock), (std::vector<uint32_t>{10000, 5000, 5000}));
  EXPECT_EQ(budget.SpentMs(), 20000u);
  // Two hundred files a running client holds: the run's 30 s, then one try each.
  const std::vector<uint32_t> more = HeldForGood(budget, 197, &clock);
  EXPECT_EQ(more[0], 5000u);
  EXPECT_EQ(more[1], 5000u);
  for (size_t i = 2; i < more.size(); ++i) EXPECT_EQ(more[i], 0u) << i;
  EXPECT_EQ(budget.SpentMs(), 30000u);

  // Slow tries end rounds late, yet once 30 s are spent nothing more waits.
  RunHeldBudget slow;
  uint32_t at = 0;
  const std::vector<uint32_t> waits = HeldForGood(slow, 10, &at, 3000);
  uint32_t total = 0;
  for (uint32_t w : waits) total += w;
  EXPECT_LE(total, RunHeldBudget::kRunMs + 4000);
  EXPECT_EQ(slow.SpentMs(), RunHeldBudget::kRunMs);
}

TEST(RunHeldBudget, BriefHoldsSpendLittleAndAPersonsRoundsAreFree) {
  RunHeldBudget budget;
  uint32_t clock = 0;
  budget.BeginRound(clock, false);  // freed after 300 ms
  clock += 300;
  budget.EndRound(clock);
  EXPECT_EQ(budget.SpentMs(), 300u);
  // The next held file is a later one: 5 s, then the person asks for more.
  EXPECT_EQ(HeldForGood(budget, 1, &clock), std::vector<uint32_t>{5000});
  budget.BeginRound(clock, true);
  uint32_t asked = 0;
  for (uint32_t pause; (pause = budget.NextPause(clock + asked)) != 0;) asked += pause;
  budget.EndRound(clock + asked);
  EXPECT_EQ(asked, HeldFileWait::kRoundMs);
  EXPECT_EQ(budget.SpentMs(), 5300u);
  // Once the budget is spent, a person's round is still a full one.
  budget = RunHeldBudget();
  clock = 0;
  (void)HeldForGood(budget, 5, &clock);
  EXPECT_EQ(budget.SpentMs(), RunHeldBudget::kRunMs);
  budget.BeginRound(clock, false);
  EXPECT_EQ(budget.NextPause(clock), 0u);
  budget.BeginRound(clock, true);
  EXPECT_EQ(budget.NextPause(clock), HeldFileWait::kFirstPauseMs);
}

}  // namespace
