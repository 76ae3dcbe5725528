#include "archive/upgrade_journal.h"

#include <cstdio>

#include "archive/install_record.h"

const char kJournalName[] = "journal.txt";

namespace {

constexpr char kHead[] = "kvsetup switch journal 1";

}  // namespace

std::string SerializeJournal(const std::vector<JournalStep>& steps) {
  std::string text = std::string(kHead) + "\r\n";
  char number[12];
  for (const JournalStep& step : steps) {
    (void)std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(step.number));
    const char kind[2] = {static_cast<char>(step.kind), '\0'};
    AddTableRow(&text, number, kind, step.name);
  }
  EndTable(&text, steps.size());
  return text;
}

bool ParseJournal(const std::string& text, std::vector<JournalStep>* steps) {
  steps->clear();
  const TableRow row = [](void* context, const std::string& first, const std::string& second, const std::string& name) {
    auto* read = static_cast<std::vector<JournalStep>*>(context);
    uint64_t number = 0;
    const char kind = second.size() == 1 ? second[0] : '?';
    if (!ReadNumber(first, false, &number) || number > 0xFFFFFFFFu || (kind != 'W' && kind != 'R' && kind != 'D') ||
        (!RecordableName(name) && name != kInstallRecordName)) {
      return false;
    }
    for (const JournalStep& other : *read) {
      if (other.number == number) return false;  // two steps would share their files
    }
    read->push_back({static_cast<uint32_t>(number), static_cast<StepKind>(kind), name});
    return true;
  };
  if (ParseTableText(text, kHead, row, steps)) return true;
  steps->clear();
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
