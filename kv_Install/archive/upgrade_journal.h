// The switch from one installed version to the next, as a journal of
// renames, and how an interrupted switch is mended. Plain C++: the file
// system is the caller's.
//
// Before the switch every new file is staged, verified, in the staging
// folder as "<n>.new"; the journal ("journal.txt" there, written whole and
// flushed before the first rename) lists each step n:
//
//   kvsetup switch journal 1
//   <n> <kind> <name>          kind: W write (staged file in), R replace
//   ...                        (old file aside as "<n>.old", staged file in),
//   end <number of steps>      D remove (old file aside)
//
// Fields are separated by one TAB, lines end in CR LF. Every rename is
// atomic, so each step's state shows on disk by which of its three places
// (target, "<n>.new", "<n>.old") hold a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern const char kJournalName[];

enum class StepKind : char { Write = 'W', Replace = 'R', Remove = 'D' };

struct JournalStep {
  uint32_t number = 0;  // its staged and moved-aside files' names
  StepKind kind = StepKind::Write;
  std::string name;     // below the install folder
};

std::string SerializeJournal(const std::vector<JournalStep>& steps);
// False when text is not a whole journal (one cut short is never a switch
// that began: the journal is in place before the first rename).
bool ParseJournal(const std::string& text, std::vector<JournalStep>* steps);

// The places of a step.
enum class Place { Target, Staged, Aside };

// Which of a step's places hold a file.
struct StepOnDisk {
  bool target = false;
  bool staged = false;
  bool aside = false;
};

// A step as the disk shows it: not begun, its old file aside (a replace
// half done), done, or something no switch leaves (changed since by hand),
// which nothing touches.
enum class StepState { NotBegun, Aside, Done, Other };
StepState StateOf(StepKind kind, const StepOnDisk& disk);

enum class Recovery { Finish, Undo };

// Finish when every step is not begun, aside or done (each can be taken
// forward: its staged file is there); undo otherwise, which also brings
// back an old file aside whose place is free in a step in state Other.
Recovery DecideRecovery(const std::vector<JournalStep>& steps, const std::vector<StepOnDisk>& disk);

struct Rename {
  size_t step = 0;  // index into the steps
  Place from = Place::Target;
  Place to = Place::Target;
};

// The renames that take every step to the direction's end, in order: for
// Finish the journal's order, for Undo the reverse. A step already there, or
// in state Other, has none. Applied and asked again, the answer is empty.
std::vector<Rename> RecoveryRenames(const std::vector<JournalStep>& steps, const std::vector<StepOnDisk>& disk,
                                    Recovery direction);
