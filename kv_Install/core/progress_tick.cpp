#include "core/progress_tick.h"

TickAction DecideTick(int position, int installDone, int runAfterInstall, bool installSucceeded) {
  if (position != kProgressMax || !installDone) return TickAction::None;
  // A failed install never starts the updater: the user is shown how it
  // ended instead.
  if (runAfterInstall && installSucceeded) return TickAction::StartUpdater;
  return TickAction::ShowFinish;
}

TickAction ProgressTick(ProgressBar& bar, int installDone, int runAfterInstall, bool installSucceeded) {
  bar.StepIt();
  return DecideTick(bar.GetPos(), installDone, runAfterInstall, installSucceeded);
}
