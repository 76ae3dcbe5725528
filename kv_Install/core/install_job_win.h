// The install as one job, whichever thread runs it: what the step needs
// around it is set up and torn down here, once, on that thread.
#pragma once

#include "core/install_state.h"

class InstallActions;

// Starts the sockets library (the reports) and COM (the shortcuts) for the
// calling thread, runs the install step, releases the shortcut objects and
// stops both again. The outcome is kept in state and returned.
InstallOutcome RunInstallJob(InstallState& state, InstallActions& actions);
