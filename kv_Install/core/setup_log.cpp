#include "core/setup_log.h"

#include <windows.h>

#include <cstdio>

#include "base/wide.h"

namespace {

// Written from both threads, opened and ended on the window's. Each append
// is one system call. The handle is never closed before the process ends:
// a session that ends may end the program while the step still writes.
HANDLE theLog = INVALID_HANDLE_VALUE;

void Append(HANDLE log, const char* text) {
  if (log == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char stamp[32];
  (void)std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  const std::string line = Utf8(std::string(stamp) + text) + "\r\n";
  DWORD written = 0;
  (void)::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);  // a log that fails is no failure
}

}  // namespace

bool OpenSetupLog(const std::u16string& path) {
  // Its folders are made as needed (C:\kvlogs\setup.log on a fresh machine),
  // outermost first; one that cannot be made shows when the file cannot.
  for (size_t at = path.find_first_of(u"\\/", 3); at != std::u16string::npos; at = path.find_first_of(u"\\/", at + 1)) {
    (void)::CreateDirectoryW(WStr(path.substr(0, at)), nullptr);
  }
  // Readable while it is written, so a deployment tool can follow it. A
  // link in the log's own place is not followed: the elevated installer
  // would append to whatever file somebody pointed it at.
  HANDLE log = ::CreateFileW(WStr(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (log != INVALID_HANDLE_VALUE &&
      (!::GetFileInformationByHandle(log, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    ::CloseHandle(log);
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  theLog = log;
  return theLog != INVALID_HANDLE_VALUE;
}

void LogLine(const char* text) { Append(theLog, text); }

void LogLine(const std::string& text) { LogLine(text.c_str()); }

void EndSetupLog(int exitStatus) {
  // Taken first, so that no line follows the last one.
  HANDLE log = ::InterlockedExchangePointer(&theLog, INVALID_HANDLE_VALUE);
  char line[32];
  (void)std::snprintf(line, sizeof line, "exit status %d", exitStatus);
  Append(log, line);
}
