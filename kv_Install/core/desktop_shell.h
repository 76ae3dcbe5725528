// Starting a program as the user of the desktop rather than as the installer.
// kvsetup.exe asks for administrator rights; under UAC everything it starts
// itself inherits its elevated token. The desktop's shell (Explorer) runs
// with the token of the user who is logged on, so a program it is asked to
// start runs as that user, unelevated.
#pragma once

// True when this process runs with an elevated token, or when that cannot be
// told.
bool MayRunElevated();

// Asks the desktop's shell to start file with the verb "open", folder as its
// working folder and show as its show command. False when the shell cannot be
// reached or refuses (no desktop shell running, another shell, a service's
// session, any step failing): nothing was started then. Needs COM on the
// calling thread, and waits for the shell's answers.
bool StartFromDesktopShell(const wchar_t* file, const wchar_t* folder, int show);
