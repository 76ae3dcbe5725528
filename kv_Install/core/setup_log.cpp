#include "core/setup_log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/wide.h"

namespace {

// Written from both threads, opened and ended on the window's. Each line is
// one append, made under the lock, so the status line, written under it
// too, closes the log to any line after it. The handle is never closed
// before the process ends: a session that ends may end the program while
// the step still writes.
HANDLE theLog = INVALID_HANDLE_VALUE;
SRWLOCK theLogLock = SRWLOCK_INIT;

// "2026-12-10 03:25:27.360 ", 24 characters and the NUL.
void Stamp(char (&stamp)[32]) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  (void)std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

// One whole line; nothing once the log is closed. The last line closes it
// in the same hold of the lock, so no line can follow it. No allocation:
// the fatal path comes this way when memory has run out.
void Write(const char* line, size_t size, bool last = false) {
  ::AcquireSRWLockExclusive(&theLogLock);
  DWORD written = 0;
  if (theLog != INVALID_HANDLE_VALUE) {
    (void)::WriteFile(theLog, line, static_cast<DWORD>(size), &written, nullptr);  // a log that fails is no failure
  }
  if (last) theLog = INVALID_HANDLE_VALUE;
  ::ReleaseSRWLockExclusive(&theLogLock);
}

// An ASCII line after the time, built on the stack (cut at 200 characters).
void WriteAscii(const char* text, bool last = false) {
  char stamp[32];
  Stamp(stamp);
  char line[256];
  if (std::snprintf(line, sizeof line, "%s%.200s\r\n", stamp, text) > 0) Write(line, std::strlen(line), last);
}

}  // namespace

bool OpenSetupLog(const std::u16string& path) {
  // Its folders are made as needed (C:\kvlogs\setup.log on a fresh machine),
  // outermost first; one that cannot be made shows when the file cannot.
  for (size_t at = path.find_first_of(u"\\/", 3); at != std::u16string::npos; at = path.find_first_of(u"\\/", at + 1)) {
    (void)::CreateDirectoryW(WStr(path.substr(0, at)), nullptr);
  }
  // Readable while it is written, so a deployment tool can follow it. A
  // link in the log's own place is not followed, and a file with another
  // name too (a hard link) is not appended to: the elevated installer would
  // append to whatever file somebody pointed it at.
  HANDLE log = ::CreateFileW(WStr(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (log != INVALID_HANDLE_VALUE &&
      (!::GetFileInformationByHandle(log, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
       info.nNumberOfLinks > 1)) {
    ::CloseHandle(log);
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  theLog = log;
  return theLog != INVALID_HANDLE_VALUE;
}

void LogLine(const char* text) {
  if (__atomic_load_n(&theLog, __ATOMIC_RELAXED) == INVALID_HANDLE_VALUE) return;  // Write looks again
  char stamp[32];
  Stamp(stamp);
  const std::string line = Utf8(std::string(stamp) + text) + "\r\n";
  Write(line.data(), line.size());
}

void LogLine(const std::string& text) { LogLine(text.c_str()); }

void LogAsciiLine(const char* text) { WriteAscii(text); }

void EndSetupLog(int exitStatus) {
  char line[32];
  (void)std::snprintf(line, sizeof line, "exit status %d", exitStatus);
  WriteAscii(line, true);  // a line the step's thread makes after it finds the log closed
}
