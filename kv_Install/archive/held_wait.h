// How long extraction waits for a file that another program holds open (a
// virus scanner that opened what was just written, a tool that reads the
// client's data): short pauses at first, since most holds are brief, then
// longer ones, for a bounded round. Plain C++: the clock is the caller's.
#pragma once

#include <cstdint>

// System error codes that say another program holds a file (winerror.h).
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;

// Whether replacing a file failed because another program holds it: a
// sharing or lock violation, or access denied on a file that is not
// read-only (a running program's executable, a file open without
// delete sharing). A read-only file is refused for good, not waited for.
bool IsHeldFileError(uint32_t systemError, bool readOnly);

class HeldFileWait {
 public:
  static constexpr uint32_t kFirstPauseMs = 50;
  static constexpr uint32_t kLongestPauseMs = 1000;
  static constexpr uint32_t kRoundMs = 10000;

  // The pause before the next try, given the milliseconds since the round
  // began: 50 ms, doubling up to 1 s, never past the round's end. 0 when
  // the round is over and the file is to be given up (or asked about).
  uint32_t NextPause(uint32_t elapsedMs);

 private:
  uint32_t pause_ = kFirstPauseMs;
};
