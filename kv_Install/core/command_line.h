#pragma once

#include <string>

// Pointer to the arguments of a Windows command line: what follows the
// program's path, which is either quoted ("C:\a b\x.exe" ...) or ends at the
// first blank. Never null; an empty string when there are no arguments.
const char* SkipProgramPath(const char* commandLine);

// True when the unattended run is asked for: "admin" occurs, case-sensitively
// and character by character in code page 936, anywhere in the arguments. The
// program's own path is not searched, so an installer started from a folder of
// a user named admin still runs interactively.
bool IsUnattendedCommandLine(const char* commandLine);

// The application's name as message boxes show it: the file name of the
// program's path without its extension ("C:\x\kvsetup.exe" gives "kvsetup").
// Separators are found character by character in code page 936.
std::string ProgramTitle(const std::string& modulePath);
