#pragma once

// Pointer to the arguments of a Windows command line: what follows the
// program's path, which is either quoted ("C:\a b\x.exe" ...) or ends at the
// first blank. Never null; an empty string when there are no arguments.
const char* SkipProgramPath(const char* commandLine);

// True when the unattended run is asked for: "admin" occurs, case-sensitively
// and character by character in code page 936, anywhere in the arguments. The
// program's own path is not searched, so an installer started from a folder of
// a user named admin still runs interactively.
bool IsUnattendedCommandLine(const char* commandLine);
