#include "core/install_state.h"

int InstallExitStatus(InstallOutcome outcome) {
  switch (outcome) {
    case InstallOutcome::NotRun:
    case InstallOutcome::Installed:
    case InstallOutcome::HelpShown:
      return 0;
    case InstallOutcome::Refused:
      return 1;
    case InstallOutcome::PayloadFailed:
    case InstallOutcome::NotStarted:
      return 2;
    case InstallOutcome::AlreadyRunning:
      return 3;
    case InstallOutcome::NoSpace:
      return 4;
    case InstallOutcome::FilesHeld:
      return 5;
  }
  return 2;
}

InstallOutcome OutcomeAtSessionEnd(bool stepEnded, bool inPlace, InstallOutcome earned) {
  return stepEnded || inPlace ? earned : InstallOutcome::PayloadFailed;
}
