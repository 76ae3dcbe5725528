#include "archive/upgrade_journal.h"

#include <cstdio>
#include <cstdlib>

#include "archive/install_record.h"

const char kJournalName[] = "journal.txt";

namespace {

constexpr char kHead[] = "kvsetup switch journal 1";

bool ReadCount(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 9) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *value = std::strtoul(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

std::string SerializeJournal(const std::vector<JournalStep>& steps) {
  std::string text = std::string(kHead) + "\r\n";
  char number[24];
  for (const JournalStep& step : steps) {
    (void)std::snprintf(number, sizeof number, "%lu\t%c\t", static_cast<unsigned long>(step.number),
                        static_cast<char>(step.kind));
    text += number + step.name + "\r\n";
  }
  (void)std::snprintf(number, sizeof number, "end %lu\r\n", static_cast<unsigned long>(steps.size()));
  return text + number;
}

bool ParseJournal(const std::string& text, std::vector<JournalStep>* steps) {
  steps->clear();
  std::vector<JournalStep> read;
  size_t at = 0;
  bool head = false;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) return false;
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (!head) {
      if (line != kHead) return false;
      head = true;
      continue;
    }
    uint64_t n = 0;
    if (line.compare(0, 4, "end ") == 0) {
      if (at != text.size() || !ReadCount(line.substr(4), &n) || n != read.size()) return false;
      *steps = std::move(read);
      return true;
    }
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || line.size() < tab + 4 || line[tab + 2] != '\t' || !ReadCount(line.substr(0, tab), &n)) {
      return false;
    }
    JournalStep step;
    step.number = static_cast<uint32_t>(n);
    const char kind = line[tab + 1];
    if (kind != 'W' && kind != 'R' && kind != 'D') return false;
    step.kind = static_cast<StepKind>(kind);
    step.name = line.substr(tab + 3);
    if (!RecordableName(step.name) && step.name != kInstallRecordName) return false;
    for (const JournalStep& other : read) {
      if (other.number == step.number) return false;  // two steps would share their files
    }
    read.push_back(std::move(step));
  }
  return false;
}

StepState StateOf(StepKind kind, const StepOnDisk& d) {
  switch (kind) {
    case StepKind::Write:
      if (!d.target && d.staged && !d.aside) return StepState::NotBegun;
      if (d.target && !d.staged && !d.aside) return StepState::Done;
      return StepState::Other;
    case StepKind::Replace:
      if (d.target && d.staged && !d.aside) return StepState::NotBegun;
      if (!d.target && d.staged && d.aside) return StepState::Aside;
      if (d.target && !d.staged && d.aside) return StepState::Done;
      return StepState::Other;
    case StepKind::Remove:
      if (d.target && !d.aside) return StepState::NotBegun;
      if (!d.target && d.aside) return StepState::Done;
      return StepState::Other;
  }
  return StepState::Other;
}

Recovery DecideRecovery(const std::vector<JournalStep>& steps, const std::vector<StepOnDisk>& disk) {
  for (size_t i = 0; i < steps.size(); ++i) {
    if (i >= disk.size() || StateOf(steps[i].kind, disk[i]) == StepState::Other) return Recovery::Undo;
  }
  return Recovery::Finish;
}

std::vector<Rename> RecoveryRenames(const std::vector<JournalStep>& steps, const std::vector<StepOnDisk>& disk,
                                    Recovery direction) {
  std::vector<Rename> renames;
  const size_t count = steps.size() < disk.size() ? steps.size() : disk.size();
  for (size_t k = 0; k < count; ++k) {
    const size_t i = direction == Recovery::Finish ? k : count - 1 - k;
    const StepKind kind = steps[i].kind;
    const StepState state = StateOf(kind, disk[i]);
    if (direction == Recovery::Finish) {
      if (state == StepState::NotBegun && kind != StepKind::Write) renames.push_back({i, Place::Target, Place::Aside});
      if ((state == StepState::NotBegun || state == StepState::Aside) && kind != StepKind::Remove) {
        renames.push_back({i, Place::Staged, Place::Target});
      }
    } else {
      // Undone, a write's file goes back to where it was staged, and an old
      // file comes back from aside.
      if (state == StepState::Done && kind != StepKind::Remove) renames.push_back({i, Place::Target, Place::Staged});
      // An old file aside with its place free always goes back, whatever
      // else became of the step.
      const bool orphan = state == StepState::Other && disk[i].aside && !disk[i].target;
      if ((state == StepState::Done || state == StepState::Aside || orphan) && kind != StepKind::Write) {
        renames.push_back({i, Place::Aside, Place::Target});
      }
    }
  }
  return renames;
}
