// Finding and ending a running updater or client before its files are
// replaced, and starting the installed updater at the end.
#pragma once

#include <windows.h>

#include <string>

// Process ID of the first process, in snapshot order, whose executable file
// name equals name exactly (whole name, case-sensitive, code page 936 aware);
// 0 when there is none or no snapshot can be taken.
DWORD FindProcessByExeName(const char* name);

// Ends the process with exit code 0 and waits, a bounded time, until it is
// gone and its executable is no longer locked. Says how far it got: what
// failed first, with the system's error code.
enum class ProcessEnding { Ended, NotOpened, NotTerminated, NotGone };
ProcessEnding EndProcessAndWait(DWORD processId, DWORD* error);

// Starts kvUpdate.exe of installDir through the shell ("open"), with
// installDir as its working directory: through the desktop's shell, as the
// user logged on, when this process may run elevated and that shell can be
// reached (core/desktop_shell.h); else as a child of the installer. Once
// per run: later calls do nothing. The result is not examined: an updater
// that cannot start leaves nothing to do.
void StartUpdater(const std::string& installDir);
