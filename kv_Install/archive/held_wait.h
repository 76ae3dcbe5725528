// How long extraction waits for a file that another program holds open (a
// virus scanner that opened what was just written, a tool that reads the
// client's data): short pauses at first, since most holds are brief, then
// longer ones, for a bounded round; and one budget for the whole run, so
// that many held files (a running client holds hundreds) end the run in
// seconds, not in half an hour. Plain C++: the clock is the caller's.
#pragma once

#include <cstdint>

// System error codes that say another program holds a file (winerror.h).
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;

// What is known of a file that could not be replaced.
struct ReplaceRefusal {
  uint32_t error = 0;             // the replace's system error
  bool readOnly = false;          // the file in the way is read-only
  uint32_t deleteOpenError = 0;   // opening it for DELETE, all sharing: 0 when it opened
  uint32_t writeOpenError = 0;    // then for writing its data, all sharing: 0 when it opened
};

// Whether the file is held by another program, and so worth waiting for: a
// sharing or lock violation; or access denied on a file that is not
// read-only, unless the file denies the opens as well. A delete-access open
// that fails for sharing (another program has it open without delete
// sharing), a write open that fails for sharing (a running program's
// image), or both working (a hold that ended a moment ago) are waited for.
// A delete-access or write open that is itself denied is the file's
// security (a file of TrustedInstaller's, say): no wait can change it, and
// the entry fails at once. The two opens are asked only for a denial of a
// file that is not read-only.
bool IsHeldFile(const ReplaceRefusal& refusal);

class HeldFileWait {
 public:
  static constexpr uint32_t kFirstPauseMs = 50;
  static constexpr uint32_t kLongestPauseMs = 1000;
  static constexpr uint32_t kRoundMs = 10000;

  // The pause before the next try, given the milliseconds since the round
  // began: 50 ms, doubling up to 1 s, never past the round's end (roundMs
  // long). 0 when the round is over and the file is to be given up (or
  // asked about).
  uint32_t NextPause(uint32_t elapsedMs, uint32_t roundMs = kRoundMs);

 private:
  uint32_t pause_ = kFirstPauseMs;
};

// One run's patience with held files, shared by every file of the run. A
// file's first round is taken from the run's budget: at most 10 s for the
// run's first held file, at most 5 s for each later one (a holder that
// outlasted a whole round mostly holds the others too), and never past what
// is left of 30 s for all of them together; once that is spent, a held file
// is tried once. A round a person asked for (重试 in the wizard) is a full
// 10 s and outside the budget: a person may wait as long as they like.
// Times are the caller's clock in milliseconds (GetTickCount; wrapping is
// fine).
class RunHeldBudget {
 public:
  static constexpr uint32_t kFirstFileMs = 10000;
  static constexpr uint32_t kLaterFileMs = 5000;
  static constexpr uint32_t kRunMs = 30000;

  // A round begins at nowMs: a held file's first (askedAgain false), or one
  // more a person asked for.
  void BeginRound(uint32_t nowMs, bool askedAgain);
  // The pause before the next try, 0 when the round is over.
  uint32_t NextPause(uint32_t nowMs);
  // The round ended at nowMs (the file came free, or was given up or asked
  // about): a budgeted round's time is counted as spent.
  void EndRound(uint32_t nowMs);

  uint32_t SpentMs() const { return spent_; }

 private:
  HeldFileWait wait_;
  uint32_t roundStart_ = 0;
  uint32_t roundMs_ = 0;
  uint32_t spent_ = 0;
  bool budgeted_ = false;
  bool anyHeld_ = false;  // a file's round has been taken from the budget
};
