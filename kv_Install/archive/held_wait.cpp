#include "archive/held_wait.h"

bool IsHeldFile(const ReplaceRefusal& refusal) {
  switch (refusal.error) {
    case kErrorSharingViolation:
    case kErrorLockViolation:
      return true;
    case kErrorAccessDenied:
      return !refusal.readOnly && refusal.deleteOpenError != kErrorAccessDenied &&
             refusal.writeOpenError != kErrorAccessDenied;
    default:
      return false;
  }
}

uint32_t HeldFileWait::NextPause(uint32_t elapsedMs, uint32_t roundMs) {
  if (elapsedMs >= roundMs) return 0;
  const uint32_t left = roundMs - elapsedMs;
  const uint32_t pause = pause_ < left ? pause_ : left;
  pause_ = pause_ * 2 < kLongestPauseMs ? pause_ * 2 : kLongestPauseMs;
  return pause;
}

void RunHeldBudget::BeginRound(uint32_t nowMs, bool askedAgain) {
  wait_ = HeldFileWait();
  roundStart_ = nowMs;
  budgeted_ = !askedAgain;
  if (askedAgain) {
    roundMs_ = HeldFileWait::kRoundMs;
    return;
  }
  const uint32_t longest = anyHeld_ ? kLaterFileMs : kFirstFileMs;
  const uint32_t left = spent_ < kRunMs ? kRunMs - spent_ : 0;
  roundMs_ = longest < left ? longest : left;
  anyHeld_ = true;
}

uint32_t RunHeldBudget::NextPause(uint32_t nowMs) { return wait_.NextPause(nowMs - roundStart_, roundMs_); }

void RunHeldBudget::EndRound(uint32_t nowMs) {
  if (!budgeted_) return;
  budgeted_ = false;
  const uint32_t took = nowMs - roundStart_;
  spent_ = took < kRunMs - spent_ ? spent_ + took : kRunMs;
}
