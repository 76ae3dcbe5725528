#include "archive/held_wait.h"

bool IsHeldFileError(uint32_t systemError, bool readOnly) {
  switch (systemError) {
    case kErrorSharingViolation:
    case kErrorLockViolation:
      return true;
    case kErrorAccessDenied:
      return !readOnly;
    default:
      return false;
  }
}

uint32_t HeldFileWait::NextPause(uint32_t elapsedMs) {
  if (elapsedMs >= kRoundMs) return 0;
  const uint32_t left = kRoundMs - elapsedMs;
  const uint32_t pause = pause_ < left ? pause_ : left;
  pause_ = pause_ * 2 < kLongestPauseMs ? pause_ * 2 : kLongestPauseMs;
  return pause;
}
