// The completion rule of the progress timer, apart from the window that
// carries it: the bar only shows elapsed time, and the install counts as
// finished at the first tick that finds the bar at exactly its end with the
// install step done.
#pragma once

constexpr int kProgressMin = 0;
constexpr int kProgressMax = 100;
constexpr int kProgressStep = 25;

// The progress bar as the tick sees it: step it, read it back.
class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void StepIt() = 0;
  virtual int GetPos() const = 0;
};

enum class TickAction {
  None,          // keep waiting
  StartUpdater,  // start kvUpdate.exe and quit
  ShowFinish,    // show how the install ended
};

// Decision for a bar position read after the step.
TickAction DecideTick(int position, int installDone, int runAfterInstall, bool installSucceeded);

// One tick: step the bar, read it, decide.
TickAction ProgressTick(ProgressBar& bar, int installDone, int runAfterInstall, bool installSucceeded);
