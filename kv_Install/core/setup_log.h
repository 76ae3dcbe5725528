// The /LOG file: what a run does, one UTF-8 line at a time, each written
// through to the file as it happens, so that a run that dies still leaves
// what it did. Lines from the install step's thread and the window's may
// interleave; each line is one append.
#pragma once

#include <string>

// Opens (or creates, with the folders it lies in) the log for appending.
// False, with the system's error for GetLastError, when it cannot be.
bool OpenSetupLog(const std::u16string& path);

// One line (GBK, without its end), after the local time; nothing when no log
// is open.
void LogLine(const char* text);
void LogLine(const std::string& text);

// The last line, "exit status N". Once: no line follows it. (The file is
// closed by the process's end.)
void EndSetupLog(int exitStatus);
