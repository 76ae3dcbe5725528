// The install step's order and outcome, with actions that record each call,
// and the progress tick's completion rule over a bar that wraps like the
// progress control.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/install_step.h"
#include "core/progress_tick.h"
#include "core/uninstall_details.h"

namespace {

using ::testing::ElementsAre;

class RecordingActions : public InstallActions {
 public:
  std::vector<std::string> calls;
  uint32_t updaterId = 0;
  uint32_t clientId = 0;
  bool answerOk = true;
  bool desktopVisible = true;
  PayloadResult payload{true, 5, 0, 10240};
  std::string versionData = std::string("1.4.3") + std::string(27, '\0') + "kvClient.exe\r\n";
  CalendarDate today{2026, 12, 9};
  std::string userNumberText;
  std::string downloadSource = "kvpc012";
  std::vector<std::string> missing;  // names of files not there after unpacking

  uint32_t FindProcessByExeName(const char* exeName) override {
    calls.push_back(std::string("find ") + exeName);
    return std::string(exeName) == kUpdaterExe ? updaterId : clientId;
  }
  bool AskToEndRunningClient() override {
    calls.push_back("ask");
    return answerOk;
  }
  bool DesktopVisible() override { return desktopVisible; }
  void SayOnStandardError(const char* text) override { calls.push_back(std::string("say ") + text); }
  void EndProcess(uint32_t id) override { calls.push_back("end " + std::to_string(id)); }
  void EndInstaller(int status) override { calls.push_back("exit " + std::to_string(status)); }
  PayloadResult UnpackPayload(const std::string& dir) override {
    calls.push_back("unpack " + dir);
    return payload;
  }
  bool InstalledFileExists(const std::string& path) override {
    for (const auto& name : missing) {
      if (path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0) return false;
    }
    return true;
  }
  void WriteUninstallValue(const char* name, const char* data) override {
    calls.push_back(std::string("value ") + name + "=" + data);
  }
  void WriteUninstallNumber(const char* name, uint32_t data) override {
    calls.push_back(std::string("number ") + name + "=" + std::to_string(data));
  }
  void DeleteUninstallValue(const char* name) override { calls.push_back(std::string("delete ") + name); }
  void ReadVersionData(const std::string& dir, char (&head)[kVersionTextSize]) override {
    calls.push_back("version " + dir);
    versionData.copy(head, sizeof head);
  }
  CalendarDate LocalDate() override { return today; }
  void SendInstallLog(const std::string& dir) override { calls.push_back("log " + dir); }
  void CreateShellLinks(const std::string& dir) override { calls.push_back("links " + dir); }
  void SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder) override {
    calls.push_back("save " + std::to_string(csidl) + " " + fileName + " " + std::to_string(which) + " " +
                    std::to_string(inSubfolder));
  }
  void ReadUserNumberText(char* buffer) override {
    calls.push_back("kcno");
    userNumberText.copy(buffer, 511);
  }
  void ReadDownloadSource(char* buffer) override {
    calls.push_back("source");
    downloadSource.copy(buffer, 511);
  }
  void SendLoggingSetup(int userNumber, const char* source) override {
    calls.push_back("setup " + std::to_string(userNumber) + " " + source);
  }
};

class InstallStepTest : public ::testing::Test {
 protected:
  InstallStepTest() {
    state.m_strInstallDir = "D:\\Apps\\Kelvane";
    state.m_bDesktopIcon = 1;
  }
  InstallState state;
  RecordingActions actions;
};

TEST_F(InstallStepTest, RunsEveryActionInItsOrder) {
  EXPECT_TRUE(RunInstallStep(state, actions));
  EXPECT_THAT(actions.calls,
              ElementsAre("find kvUpdate.exe", "find kvClient.exe", "unpack D:\\Apps\\Kelvane",
                          "value DisplayName=Kelvane", "value Publisher=Brevanta",
                          "value UninstallString=D:\\Apps\\Kelvane\\kv_Uninstall.exe",
                          "value DisplayIcon=D:\\Apps\\Kelvane\\kv_Uninstall.exe", "version D:\\Apps\\Kelvane",
                          "value DisplayVersion=1.4.3",
                          "value InstallLocation=D:\\Apps\\Kelvane", "value InstallDate=20261209",
                          "number EstimatedSize=10", "number NoModify=1", "number NoRepair=1", "log D:\\Apps\\Kelvane",
                          "links D:\\Apps\\Kelvane", "save 2 Kelvane.lnk 0 1", "save 2 卸载.lnk 1 1", "kcno",
                          "save 16 Kelvane.lnk 0 0", "source", "setup 0 kvpc012"));
  EXPECT_EQ(state.m_outcome, InstallOutcome::Installed);
  EXPECT_EQ(InstallExitStatus(state.m_outcome), 0);
}

TEST_F(InstallStepTest, UnattendedFolderDoublesTheSeparatorOfTheUninstallString) {
  state.m_strInstallDir = "C:\\Program Files\\Kelvane\\";
  RunInstallStep(state, actions);
  EXPECT_THAT(actions.calls, ::testing::Contains("value UninstallString=C:\\Program Files\\Kelvane\\\\kv_Uninstall.exe"));
  EXPECT_THAT(actions.calls, ::testing::Contains("value DisplayIcon=C:\\Program Files\\Kelvane\\\\kv_Uninstall.exe"));
}

TEST_F(InstallStepTest, NoDesktopShortcutWithoutTheFlag) {
  state.m_bDesktopIcon = 0;
  RunInstallStep(state, actions);
  for (const auto& call : actions.calls) EXPECT_NE(call.rfind("save 16", 0), 0u) << call;
}

TEST_F(InstallStepTest, UserNumberAndDownloadSourceReachTheSetupReport) {
  const struct {
    const char* kcno;
    const char* report;
  } cases[] = {{"0", "setup 0 a b&c"}, {"", "setup 0 a b&c"}, {"345", "setup 345 a b&c"},
               {"12ab", "setup 12 a b&c"}, {" -7", "setup -7 a b&c"}};
  for (const auto& c : cases) {
    RecordingActions a;
    a.userNumberText = c.kcno;
    a.downloadSource = "a b&c";
    RunInstallStep(state, a);
    EXPECT_EQ(a.calls.back(), c.report) << c.kcno;
  }
}

TEST_F(InstallStepTest, RunningClientIsEndedAfterConsent) {
  actions.clientId = 42;
  EXPECT_TRUE(RunInstallStep(state, actions));
  ASSERT_GE(actions.calls.size(), 5u);
  EXPECT_THAT(std::vector<std::string>(actions.calls.begin(), actions.calls.begin() + 5),
              ElementsAre("find kvUpdate.exe", "find kvClient.exe", "ask", "end 42", "unpack D:\\Apps\\Kelvane"));

  RecordingActions both;
  both.updaterId = 7;
  both.clientId = 8;
  RunInstallStep(state, both);
  EXPECT_THAT(std::vector<std::string>(both.calls.begin() + 2, both.calls.begin() + 5),
              ElementsAre("ask", "end 7", "end 8"));
}

TEST_F(InstallStepTest, RefusalEndsTheInstallerBeforeAnythingIsWritten) {
  actions.updaterId = 9;
  actions.answerOk = false;
  EXPECT_FALSE(RunInstallStep(state, actions));
  EXPECT_THAT(actions.calls, ElementsAre("find kvUpdate.exe", "find kvClient.exe", "ask", "exit 1"));
  EXPECT_EQ(state.m_outcome, InstallOutcome::Refused);
}

// The question is put where someone can answer it: always in the wizard,
// unattended only on a desktop that is seen. Unasked is refused: nothing
// written, status 1, and the reason on standard error.
TEST_F(InstallStepTest, RunningClientQuestionOnlyWhereItCanBeSeen) {
  const std::string unasked =
      "say could not ask whether to end the running program: nobody sees this desktop (its window station is not "
      "visible)";
  const struct {
    int admin;
    bool visible;
    bool answerOk;
    uint32_t clientId;
    std::vector<std::string> after;  // the calls after the two look-ups, up to the unpacking or the end
    InstallOutcome outcome;
  } cases[] = {
      {0, true, true, 5, {"ask", "end 5", "unpack D:\\Apps\\Kelvane"}, InstallOutcome::Installed},
      {0, false, true, 5, {"ask", "end 5", "unpack D:\\Apps\\Kelvane"}, InstallOutcome::Installed},
      {0, false, false, 5, {"ask", "exit 1"}, InstallOutcome::Refused},
      {1, true, true, 5, {"ask", "end 5", "unpack D:\\Apps\\Kelvane"}, InstallOutcome::Installed},
      {1, true, false, 5, {"ask", "exit 1"}, InstallOutcome::Refused},
      {1, false, true, 5, {unasked, "exit 1"}, InstallOutcome::Refused},
      {1, false, true, 0, {"unpack D:\\Apps\\Kelvane"}, InstallOutcome::Installed},  // nothing to ask
  };
  for (const auto& c : cases) {
    RecordingActions a;
    a.desktopVisible = c.visible;
    a.answerOk = c.answerOk;
    a.clientId = c.clientId;
    InstallState s = state;
    s.m_bAdmin = c.admin;
    const bool went = RunInstallStep(s, a);
    const std::string row = std::to_string(c.admin) + " " + std::to_string(c.visible) + " " +
                            std::to_string(c.answerOk) + " " + std::to_string(c.clientId);
    EXPECT_EQ(went, c.outcome != InstallOutcome::Refused) << row;
    EXPECT_EQ(s.m_outcome, c.outcome) << row;
    ASSERT_GE(a.calls.size(), 2 + c.after.size()) << row;
    EXPECT_EQ(std::vector<std::string>(a.calls.begin() + 2, a.calls.begin() + 2 + c.after.size()), c.after) << row;
  }
}

// Held files alone give 5; any other failure among them gives 2.
TEST_F(InstallStepTest, PayloadFailureIsTheOutcomeButTheRestStillRuns) {
  const struct {
    PayloadResult payload;
    InstallOutcome outcome;
  } rows[] = {
      {{false, 0, 0, 0, 0}, InstallOutcome::PayloadFailed},
      {{true, 97, 1, 0, 0}, InstallOutcome::PayloadFailed},
      {{true, 97, 2, 0, 1}, InstallOutcome::PayloadFailed},
      {{true, 97, 2, 0, 2}, InstallOutcome::FilesHeld},
  };
  for (const auto& row : rows) {
    RecordingActions a;
    a.payload = row.payload;
    InstallState s = state;
    EXPECT_TRUE(RunInstallStep(s, a));
    EXPECT_EQ(s.m_outcome, row.outcome) << row.payload.failedCount << " " << row.payload.heldCount;
    EXPECT_EQ(a.calls.size(), 22u);  // values, log, shortcuts and the report follow all the same
  }
}

TEST_F(InstallStepTest, NothingRegisteredNamesAMissingFile) {
  const struct {
    std::vector<std::string> missing;
    std::vector<std::string> written;  // values and shortcuts, in order
  } cases[] = {
      {{}, {"DisplayName", "Publisher", "UninstallString", "DisplayIcon", "DisplayVersion", "InstallLocation",
            "InstallDate", "EstimatedSize", "NoModify", "NoRepair", "2 Kelvane.lnk", "2 卸载.lnk", "16 Kelvane.lnk"}},
      {{"kv_Uninstall.exe"}, {"2 Kelvane.lnk", "16 Kelvane.lnk"}},
      {{"kvUpdate.exe"}, {"DisplayName", "Publisher", "UninstallString", "DisplayIcon", "DisplayVersion",
                          "InstallLocation", "InstallDate", "EstimatedSize", "NoModify", "NoRepair", "2 卸载.lnk"}},
      {{"kv_Uninstall.exe", "kvUpdate.exe"}, {}},  // e.g. the payload did not open
  };
  for (const auto& c : cases) {
    RecordingActions a;
    a.missing = c.missing;
    a.payload = {false, 0, 0};
    InstallState s = state;
    EXPECT_TRUE(RunInstallStep(s, a));
    std::vector<std::string> written;
    for (const auto& call : a.calls) {
      if (call.rfind("value ", 0) == 0) written.push_back(call.substr(6, call.find('=') - 6));
      if (call.rfind("number ", 0) == 0) written.push_back(call.substr(7, call.find('=') - 7));
      if (call.rfind("save ", 0) == 0) written.push_back(call.substr(5, call.rfind(' ', call.rfind(' ') - 1) - 5));
    }
    EXPECT_EQ(written, c.written) << c.missing.size();
    EXPECT_THAT(a.calls, ::testing::Contains("log D:\\Apps\\Kelvane"));  // the reports still go
    EXPECT_EQ(a.calls.back(), "setup 0 kvpc012");
    EXPECT_EQ(InstallExitStatus(s.m_outcome), 2);
  }
}

// An install that changed nothing in the folder (refused for a held file,
// or failed before its switch) leaves the Uninstall values and shortcuts of
// the version still there; the outcome and both reports are as for any.
TEST_F(InstallStepTest, AnInstallThatChangedNothingLeavesRegistrationAndShortcuts) {
  for (const int held : {0, 1}) {
    RecordingActions a;
    a.payload = {true, 97, 1, 0, held};
    a.payload.unchanged = true;
    InstallState s = state;
    EXPECT_TRUE(RunInstallStep(s, a));
    for (const std::string& call : a.calls) {
      for (const char* written : {"value ", "number ", "delete ", "save ", "links ", "version "}) {
        EXPECT_NE(call.rfind(written, 0), 0u) << call;
      }
    }
    EXPECT_THAT(a.calls, ::testing::Contains("log D:\\Apps\\Kelvane"));
    EXPECT_EQ(a.calls.back(), "setup 0 kvpc012");
    EXPECT_EQ(InstallExitStatus(s.m_outcome), held != 0 ? 5 : 2);
    EXPECT_TRUE(s.InPlace());
  }
}

// The values after the four: each is written from what the install found.
// A missing version removes an earlier install's; any other value that
// cannot be formed is left out.
TEST_F(InstallStepTest, UninstallDetailsFollowTheFourValues) {
  const std::string padded = std::string(32, '\0');
  const struct {
    std::string versionData;
    CalendarDate today;
    uint64_t writtenBytes;
    std::string dir;
    std::vector<std::string> details;
  } cases[] = {
      {std::string(" 2.0.10.7\t") + padded, {2027, 1, 31}, 1, "C:\\Program Files\\Kelvane\\",
       {"value DisplayVersion=2.0.10.7", "value InstallLocation=C:\\Program Files\\Kelvane",
        "value InstallDate=20270131", "number EstimatedSize=1"}},
      // No version: the DisplayVersion goes, and everything else as ever.
      {padded + "kvClient.exe\r\n", {2026, 2, 28}, 0, "D:\\", {"delete DisplayVersion",
       "value InstallLocation=D:\\", "value InstallDate=20260228", "number EstimatedSize=0"}},
      {"", {0, 0, 0}, 1025, "\\\\server\\share\\K", {"delete DisplayVersion",
       "value InstallLocation=\\\\server\\share\\K", "number EstimatedSize=2"}},
  };
  for (const auto& c : cases) {
    RecordingActions a;
    a.versionData = c.versionData;
    a.today = c.today;
    a.payload.writtenBytes = c.writtenBytes;
    InstallState s = state;
    s.m_strInstallDir = c.dir;
    RunInstallStep(s, a);
    std::vector<std::string> details(a.calls.begin() + 8, a.calls.end());
    details.resize(details.size() - 10);  // NoModify, NoRepair, then the log, shortcuts and reports
    EXPECT_EQ(details, c.details) << c.dir;
    EXPECT_EQ(a.calls[8 + c.details.size()], "number NoModify=1");
  }
}

TEST(UninstallDetails, VersionIsTheReleaseBuildsTextOrNothing) {
  const struct {
    std::string data;
    const char* version;
  } cases[] = {
      {std::string("1.4.3") + std::string(27, '\0') + "listing", "1.4.3"},
      {"1.4.3", "1.4.3"},  // a file shorter than its padding
      {"0.0.0.0", "0.0.0.0"},
      {"65535.65535.65535.65535", "65535.65535.65535.65535"},
      {"01.2.3", "01.2.3"},  // kept as written, as the version resource keeps it
      {std::string("\xA0\x1F 1.2.3\r\n\x85", 11), "1.2.3"},
      {std::string(30, ' ') + "1.2.3", ""},  // the version must lie in the first 32 bytes
      {std::string(26, ' ') + "1.2.3", "1.2.3"},
      {"1.2.3" + std::string(40, '7'), ""},  // no NUL: the first 32 bytes, which are no version
      {std::string(32, '\0') + "1.2.3", ""},
      {"", ""}, {"1.2", ""}, {"1.2.3.4.5", ""}, {"1.2.65536", ""}, {"1.2.000001", ""}, {"1..3", ""},
      {"1.2.3.", ""}, {".1.2.3", ""}, {"1.2.3-beta", ""}, {"1.2 .3", ""}, {"\xD6\xD0.1.2", ""},
      {std::string("1.2\0.3", 6), ""},
  };
  for (const auto& c : cases) {
    char version[kVersionTextSize + 1] = "left over";
    EXPECT_EQ(VersionFromVersionData(c.data.data(), c.data.size(), version), c.version[0] != '\0') << c.data;
    EXPECT_STREQ(version, c.version) << c.data;
  }
}

std::string DateText(const CalendarDate& date) {
  char text[9] = "left";
  const bool formed = InstallDateText(date, text);
  EXPECT_EQ(formed, text[0] != '\0');
  return text;
}

TEST(UninstallDetails, DateSizeAndFolderText) {
  EXPECT_EQ(DateText({2026, 12, 9}), "20261209");
  EXPECT_EQ(DateText({1, 1, 1}), "00010101");
  EXPECT_EQ(DateText({9999, 12, 31}), "99991231");
  for (const CalendarDate bad : {CalendarDate{0, 1, 1}, CalendarDate{10000, 1, 1}, CalendarDate{2026, 0, 1},
                                 CalendarDate{2026, 13, 1}, CalendarDate{2026, 1, 0}, CalendarDate{2026, 1, 32}}) {
    EXPECT_EQ(DateText(bad), "") << bad.year << "-" << bad.month << "-" << bad.day;
  }

  const std::pair<uint64_t, uint32_t> sizes[] = {
      {0, 0}, {1, 1}, {1023, 1}, {1024, 1}, {1025, 2}, {125000, 123}, {(uint64_t{1} << 42) - 1, 0xFFFFFFFF},
      {(uint64_t{1} << 42) + 1, 0xFFFFFFFF}, {UINT64_MAX, 0xFFFFFFFF}};
  for (const auto& s : sizes) EXPECT_EQ(SizeInKib(s.first), s.second) << s.first;

  const std::pair<const char*, const char*> folders[] = {
      {"C:\\Program Files\\Kelvane\\", "C:\\Program Files\\Kelvane"}, {"D:\\A\\\\", "D:\\A"}, {"D:\\A", "D:\\A"},
      {"D:", "D:\\"}, {"D:\\", "D:\\"}, {"D:\\软件\\", "D:\\软件"},
  };
  for (const auto& f : folders) EXPECT_EQ(InstallLocationText(f.first), f.second) << f.first;
}

TEST(InstallExitStatus, EachOutcomeHasItsStatus) {
  EXPECT_EQ(InstallExitStatus(InstallOutcome::NotRun), 0);
  EXPECT_EQ(InstallExitStatus(InstallOutcome::Installed), 0);
  EXPECT_EQ(InstallExitStatus(InstallOutcome::Refused), 1);
  EXPECT_EQ(InstallExitStatus(InstallOutcome::PayloadFailed), 2);
  EXPECT_EQ(InstallExitStatus(InstallOutcome::AlreadyRunning), 3);
  EXPECT_EQ(InstallExitStatus(InstallOutcome::NotStarted), 2);
  EXPECT_EQ(InstallExitStatus(InstallOutcome::NoSpace), 4);
  EXPECT_EQ(InstallExitStatus(InstallOutcome::FilesHeld), 5);
}

// A session that ends: the earned outcome once the step has ended or only
// its reports remain, never a success before that.
TEST(OutcomeAtSessionEnd, TheReportsDecideNothing) {
  const InstallOutcome I = InstallOutcome::Installed, F = InstallOutcome::PayloadFailed;
  const struct { bool ended, inPlace; InstallOutcome earned, expected; } rows[] = {
      {true, true, I, I}, {true, false, F, F}, {false, true, I, I}, {false, true, F, F}, {false, false, I, F},
      {false, false, InstallOutcome::NotRun, F},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(OutcomeAtSessionEnd(r.ended, r.inPlace, r.earned), r.expected) << r.ended << r.inPlace;
  }
}

TEST_F(InstallStepTest, OnlyTheReportsRemainOnceInPlace) {
  // In place after the last shortcut, before the setup report; not after a refusal.
  struct MarkingActions : RecordingActions {
    InstallState* watched = nullptr;
    void SendLoggingSetup(int n, const char* s) override {
      calls.push_back(watched->InPlace() ? "in place" : "not in place");
      RecordingActions::SendLoggingSetup(n, s);
    }
  } marking;
  marking.watched = &state;
  EXPECT_FALSE(state.InPlace());
  RunInstallStep(state, marking);
  EXPECT_THAT(marking.calls, ::testing::Contains("in place"));
  InstallState refused;
  actions.clientId = 7;
  actions.answerOk = false;
  RunInstallStep(refused, actions);
  EXPECT_FALSE(refused.InPlace());
}

// A bar that wraps past its maximum like the progress control: the overflow
// starts over from the minimum.
class WrappingBar : public ProgressBar {
 public:
  void StepIt() override {
    pos += kProgressStep;
    if (pos > kProgressMax) pos = kProgressMin + (pos - kProgressMin) % (kProgressMax - kProgressMin);
  }
  int GetPos() const override { return pos; }
  int pos = 0;
};

// Ticks until an action other than None; returns the 1-based tick number.
int TicksUntilAction(WrappingBar& bar, int doneFromTick, int runAfter, bool ok, TickAction* action) {
  for (int tick = 1; tick <= 40; ++tick) {
    *action = ProgressTick(bar, tick >= doneFromTick ? 1 : 0, runAfter, ok);
    if (*action != TickAction::None) return tick;
  }
  return 0;
}

TEST(ProgressTick, CompletesAtTheFirstTickAtExactly100WithTheStepDone) {
  const struct {
    int doneFromTick;  // the tick at which the step is first seen finished
    int runAfter;
    bool ok;
    int tick;
    TickAction action;
  } cases[] = {
      {1, 1, true, 4, TickAction::StartUpdater},  // fast step: the fourth tick, 4 s
      {1, 0, true, 4, TickAction::ShowFinish},
      {4, 1, true, 4, TickAction::StartUpdater},  // done just in time
      {5, 1, true, 8, TickAction::StartUpdater},  // bar wrapped past 100: next time round
      {5, 0, true, 8, TickAction::ShowFinish},
      {9, 0, true, 12, TickAction::ShowFinish},
      {1, 1, false, 4, TickAction::ShowFinish},  // a failed install never starts the updater
  };
  for (const auto& c : cases) {
    WrappingBar bar;
    TickAction action = TickAction::None;
    EXPECT_EQ(TicksUntilAction(bar, c.doneFromTick, c.runAfter, c.ok, &action), c.tick) << c.doneFromTick;
    EXPECT_EQ(action, c.action) << c.doneFromTick;
    EXPECT_EQ(bar.pos, 100);
  }
}

TEST(ProgressTick, NeverCompletesAwayFrom100) {
  for (int pos = -10; pos <= 130; ++pos) {
    if (pos == 100) continue;
    EXPECT_EQ(DecideTick(pos, 1, 1, true), TickAction::None) << pos;
  }
  EXPECT_EQ(DecideTick(100, 0, 1, true), TickAction::None);
}

TEST(ProgressTick, FinishRepeatsEachTimeTheBarComesRoundAgain) {
  WrappingBar bar;
  std::vector<int> finishes;
  for (int tick = 1; tick <= 12; ++tick) {
    if (ProgressTick(bar, 1, 0, true) == TickAction::ShowFinish) finishes.push_back(tick);
  }
  EXPECT_THAT(finishes, ElementsAre(4, 8, 12));
}

}  // namespace
