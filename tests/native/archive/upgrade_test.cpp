// The upgrade's plain parts: the install record, the plan, the journal and
// the mending of a switch cut short, from every state a step can be in.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "archive/install_record.h"
#include "archive/upgrade_journal.h"
#include "archive/upgrade_plan.h"

namespace {

TEST(InstallRecord, ReadsBackWhatItWritesAndTakesNothingElse) {
  const std::vector<RecordedFile> files = {{"kvClient.exe", 4096, 0x1234ABCD}, {"datafile/strings.txt", 0, 0},
                                           {"图片\\背景.txt", 1ull << 33, 0xFFFFFFFF}};
  const std::string text = SerializeInstallRecord(files);
  std::vector<RecordedFile> read;
  ASSERT_TRUE(ParseInstallRecord(text, &read));
  ASSERT_EQ(read.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(read[i].name, files[i].name);
    EXPECT_EQ(read[i].size, files[i].size);
    EXPECT_EQ(read[i].crc, files[i].crc);
  }
  const std::string head = "kvsetup install record 1\r\n";
  const struct {
    const char* row;
    std::string text;
  } bad[] = {
      {"empty", ""},
      {"cut short in a line", text.substr(0, text.size() - 20)},
      {"cut short before the end line", text.substr(0, text.find("end"))},
      {"no CR LF at the end", text.substr(0, text.size() - 2)},
      {"count disagrees", head + "00000001\t1\ta.txt\r\nend 2\r\n"},
      {"something after the end", text + "x"},
      {"other head", "kvsetup install record 2\r\nend 0\r\n"},
      {"short CRC", head + "0001\t1\ta.txt\r\nend 1\r\n"},
      {"signed size", head + "00000001\t-1\ta.txt\r\nend 1\r\n"},
      {"no name", head + "00000001\t1\t\r\nend 1\r\n"},
      {"outside the folder", head + "00000001\t1\t..\\boot.ini\r\nend 1\r\n"},
      {"absolute", head + "00000001\t1\tC:\\boot.ini\r\nend 1\r\n"},
      {"rooted", head + "00000001\t1\t\\boot.ini\r\nend 1\r\n"},
      {"device", head + "00000001\t1\tdata\\con.txt\r\nend 1\r\n"},
      {"stream", head + "00000001\t1\ta.txt:x\r\nend 1\r\n"},
      {"the record itself", head + "00000001\t1\tKVSETUP.files\r\nend 1\r\n"},
      {"the staging folder", head + "00000001\t1\t~kvstage/1.new\r\nend 1\r\n"},
      {"empty component", head + "00000001\t1\ta//b\r\nend 1\r\n"},
      {"binary", std::string("kvsetup install record 1\r\n\0\0\0", 29)},
  };
  for (const auto& r : bad) {
    read = files;
    EXPECT_FALSE(ParseInstallRecord(r.text, &read)) << r.row;
    EXPECT_TRUE(read.empty()) << r.row;
  }
  EXPECT_TRUE(ParseInstallRecord(head + "end 0\r\n", &read));
}

// What a folder holds, by name: size, CRC-32, read-only; folders by a size of ~0.
struct Disk final : DiskLookup {
  struct File {
    uint64_t size;
    uint32_t crc;
    bool readOnly;
  };
  std::map<std::string, File> files;
  mutable std::set<std::string> crcRead;

  OnDisk Look(const std::string& name, uint64_t sizeWanted) const override {
    OnDisk d;
    const auto at = files.find(name);
    if (at == files.end()) return d;
    d.present = true;
    d.folder = at->second.size == ~0ull;
    d.readOnly = at->second.readOnly;
    d.size = at->second.size;
    if (!d.folder && d.size == sizeWanted) {
      d.crcKnown = true;
      d.crc = at->second.crc;
      crcRead.insert(name);
    }
    return d;
  }
};

TEST(UpgradePlan, EachFileFromThePayloadTheDiskAndTheRecord) {
  const std::vector<PayloadFile> payload = {
      {"new.txt", 10, 1, 0},       {"same.txt", 20, 2, 1},      {"changed.txt", 30, 3, 2},
      {"samesize.txt", 40, 4, 3},  {"DATA/Case.txt", 50, 5, 4}, {"folder.txt", 60, 6, 5},
      {"ro-mine.txt", 70, 7, 6},   {"ro-theirs.txt", 80, 8, 7}, {"ro-same.txt", 90, 9, 8},
      {"ro-edited.txt", 11, 10, 9},
  };
  const std::vector<RecordedFile> record = {
      {"same.txt", 20, 2},       {"changed.txt", 31, 33},   {"ro-mine.txt", 71, 77},  {"ro-edited.txt", 12, 12},
      {"dropped.txt", 5, 55},    {"edited.txt", 6, 66},     {"resized.txt", 7, 77},   {"gone.txt", 8, 88},
      {"data\\case.TXT", 50, 5}, {"dropped-folder", 9, 99},
  };
  Disk disk;
  disk.files = {
      {"same.txt", {20, 2, false}},          {"changed.txt", {31, 33, false}},  {"samesize.txt", {40, 44, false}},
      {"DATA/Case.txt", {50, 5, false}},     {"folder.txt", {~0ull, 0, false}}, {"ro-mine.txt", {71, 77, true}},
      {"ro-theirs.txt", {81, 88, true}},     {"ro-same.txt", {90, 9, true}},    {"ro-edited.txt", {12, 13, true}},
      {"dropped.txt", {5, 55, false}},       {"edited.txt", {6, 67, false}},    {"resized.txt", {8, 77, false}},
      {"dropped-folder", {~0ull, 0, false}}, {"users.txt", {1, 1, false}},
  };
  const std::vector<std::pair<std::string, PlanAction>> expected = {
      {"new.txt", PlanAction::Write},          {"same.txt", PlanAction::Keep},
      {"changed.txt", PlanAction::Replace},    {"samesize.txt", PlanAction::Replace},
      {"DATA/Case.txt", PlanAction::Keep},     {"folder.txt", PlanAction::Refuse},
      {"ro-mine.txt", PlanAction::Replace},    {"ro-theirs.txt", PlanAction::Refuse},
      {"ro-same.txt", PlanAction::Keep},       {"ro-edited.txt", PlanAction::Refuse},
      {"dropped.txt", PlanAction::Remove},     {"edited.txt", PlanAction::LeaveUsers},
      {"resized.txt", PlanAction::LeaveUsers},
  };
  const std::vector<PlanItem> plan = PlanUpgrade(payload, true, record, disk);
  ASSERT_EQ(plan.size(), expected.size());
  for (size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(plan[i].name, expected[i].first);
    EXPECT_EQ(plan[i].action, expected[i].second) << plan[i].name;
  }
  EXPECT_EQ(plan[2].oldSize, 31u);
  EXPECT_EQ(plan[0].index, 0);
  EXPECT_EQ(plan[10].index, -1);
  // No CRC-32 is read of a file whose size already tells.
  EXPECT_EQ(disk.crcRead.count("changed.txt"), 0u);
  EXPECT_EQ(disk.crcRead.count("resized.txt"), 0u);

  // A folder from before the record: nothing is removed, and a read-only
  // file that differs is not the installer's to replace.
  const std::vector<PlanItem> old = PlanUpgrade(payload, false, record, disk);
  ASSERT_EQ(old.size(), payload.size());
  EXPECT_EQ(old[6].action, PlanAction::Refuse);
}

TEST(UpgradeJournal, ReadsBackWhatItWritesAndTakesNothingCutShort) {
  const std::vector<JournalStep> steps = {
      {0, StepKind::Write, "a.txt"}, {7, StepKind::Replace, "数据/b.txt"}, {3, StepKind::Remove, "c/d.txt"},
      {8, StepKind::Replace, "kvsetup.files"}};
  const std::string text = SerializeJournal(steps);
  std::vector<JournalStep> read;
  ASSERT_TRUE(ParseJournal(text, &read));
  ASSERT_EQ(read.size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(read[i].number, steps[i].number);
    EXPECT_EQ(read[i].kind, steps[i].kind);
    EXPECT_EQ(read[i].name, steps[i].name);
  }
  const std::string head = "kvsetup switch journal 1\r\n";
  for (const std::string& bad : {text.substr(0, text.size() - 1), text.substr(0, text.find("end")), std::string(),
                                 head + "1\tX\ta.txt\r\nend 1\r\n", head + "1\tW\t..\\a.txt\r\nend 1\r\n",
                                 head + "1\tW\ta.txt\r\n1\tD\tb.txt\r\nend 2\r\n", head + "x\tW\ta.txt\r\nend 1\r\n",
                                 head + "1\tW\r\nend 1\r\n"}) {
    EXPECT_FALSE(ParseJournal(bad, &read)) << bad;
    EXPECT_TRUE(read.empty());
  }
}

// A folder where each step's three places hold a file or not; renames as
// the switch makes them.
struct Places {
  std::vector<StepOnDisk> disk;
  void Apply(const std::vector<Rename>& renames) {
    for (const Rename& r : renames) {
      bool* at[] = {&disk[r.step].target, &disk[r.step].staged, &disk[r.step].aside};
      ASSERT_TRUE(*at[static_cast<int>(r.from)]) << "a rename from nothing";
      ASSERT_FALSE(*at[static_cast<int>(r.to)]) << "a rename over a file";
      *at[static_cast<int>(r.from)] = false;
      *at[static_cast<int>(r.to)] = true;
    }
  }
};

TEST(UpgradeJournal, EveryStepStateIsFinishedOrUndoneOnceAndForAll) {
  const StepOnDisk none{}, t{true, false, false}, s{false, true, false}, a{false, false, true};
  const StepOnDisk ts{true, true, false}, sa{false, true, true}, ta{true, false, true}, tsa{true, true, true};
  const struct {
    StepKind kind;
    StepOnDisk disk;
    StepState state;
    StepOnDisk finished;  // where Finish takes it (Other: where it is)
    StepOnDisk undone;
  } rows[] = {
      {StepKind::Write, s, StepState::NotBegun, t, s},    {StepKind::Write, t, StepState::Done, t, s},
      {StepKind::Write, ts, StepState::Other, ts, ts},     {StepKind::Write, none, StepState::Other, none, none},
      {StepKind::Replace, ts, StepState::NotBegun, ta, ts}, {StepKind::Replace, sa, StepState::Aside, ta, ts},
      {StepKind::Replace, ta, StepState::Done, ta, ts},    {StepKind::Replace, tsa, StepState::Other, tsa, tsa},
      {StepKind::Replace, a, StepState::Other, a, t},      {StepKind::Replace, t, StepState::Other, t, t},
      {StepKind::Remove, t, StepState::NotBegun, a, t},    {StepKind::Remove, a, StepState::Done, a, t},
      {StepKind::Remove, ta, StepState::Other, ta, ta},    {StepKind::Remove, none, StepState::Other, none, none},
  };
  const auto same = [](const StepOnDisk& x, const StepOnDisk& y) {
    return x.target == y.target && x.staged == y.staged && x.aside == y.aside;
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << static_cast<char>(r.kind) << " target " << r.disk.target << " staged "
                                    << r.disk.staged << " aside " << r.disk.aside);
    EXPECT_EQ(StateOf(r.kind, r.disk), r.state);
    const std::vector<JournalStep> steps = {{5, r.kind, "f.txt"}};
    EXPECT_EQ(DecideRecovery(steps, {r.disk}), r.state == StepState::Other ? Recovery::Undo : Recovery::Finish);
    for (const Recovery direction : {Recovery::Finish, Recovery::Undo}) {
      Places places{{r.disk}};
      places.Apply(RecoveryRenames(steps, places.disk, direction));
      EXPECT_TRUE(same(places.disk[0], direction == Recovery::Finish ? r.finished : r.undone));
      EXPECT_TRUE(RecoveryRenames(steps, places.disk, direction).empty()) << "a second run renames again";
    }
  }
}

TEST(UpgradeJournal, ASwitchCutShortAfterAnyRenameEndsWhole) {
  // Three steps, cut after each of the five renames a switch makes: the
  // recovery's direction and its result.
  const std::vector<JournalStep> steps = {
      {0, StepKind::Replace, "a.exe"}, {1, StepKind::Write, "b.dat"}, {2, StepKind::Remove, "c.txt"}};
  const std::vector<StepOnDisk> before = {{true, true, false}, {false, true, false}, {true, false, false}};
  const std::vector<StepOnDisk> after = {{true, false, true}, {true, false, false}, {false, false, true}};
  const std::vector<Rename> all = RecoveryRenames(steps, before, Recovery::Finish);
  ASSERT_EQ(all.size(), 4u);
  for (size_t cut = 0; cut <= all.size(); ++cut) {
    Places places{before};
    places.Apply(std::vector<Rename>(all.begin(), all.begin() + static_cast<long>(cut)));
    ASSERT_EQ(DecideRecovery(steps, places.disk), Recovery::Finish) << cut;
    Places undone = places;
    places.Apply(RecoveryRenames(steps, places.disk, Recovery::Finish));
    undone.Apply(RecoveryRenames(steps, undone.disk, Recovery::Undo));
    for (size_t i = 0; i < steps.size(); ++i) {
      EXPECT_EQ(places.disk[i].target, after[i].target) << cut << " " << i;
      EXPECT_EQ(places.disk[i].aside, after[i].aside) << cut << " " << i;
      EXPECT_EQ(undone.disk[i].target, before[i].target) << cut << " " << i;
      EXPECT_EQ(undone.disk[i].staged, before[i].staged) << cut << " " << i;
    }
  }
  // A step that a person changed by hand turns the whole switch back.
  std::vector<StepOnDisk> handled = after;
  handled[1].staged = true;
  EXPECT_EQ(DecideRecovery(steps, handled), Recovery::Undo);
  EXPECT_EQ(DecideRecovery(steps, {before[0]}), Recovery::Undo) << "a step with no disk state";
}

}  // namespace
