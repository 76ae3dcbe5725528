// The /LOG file: what a run does, one UTF-8 line at a time, each handed to
// the system as it happens (not held in a buffer of ours), so that a run that
// dies still leaves what it did. Lines are not forced to the disk one by one:
// a power cut may lose the last of them. Lines from the install step's thread
// and the window's may interleave; each line is one append.
#pragma once

#include <string>

// Opens (or creates, with the folders it lies in) the log for appending.
// False, with the system's error for GetLastError, when it cannot be.
bool OpenSetupLog(const std::u16string& path);

// One line (GBK, without its end), after the local time; nothing when no log
// is open.
void LogLine(const char* text);
void LogLine(const std::string& text);

// An ASCII line, built without allocating (cut at 200 characters): for the
// fatal path, when memory may have run out.
void LogAsciiLine(const char* text);

// The last line, "exit status N". Once: no line follows it, from either
// thread. (The file is closed by the process's end.)
void EndSetupLog(int exitStatus);
