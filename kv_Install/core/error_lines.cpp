#include "core/error_lines.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "archive/zip_reader.h"
#include "base/wide.h"
#include "core/setup_log.h"

void WriteStandardError(const char* text) {
  HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  const std::string line = Utf8(text) + "\r\n";
  DWORD written = 0;
  (void)::WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void WriteErrorLine(const char* text) {
  const std::string line = std::string("kvsetup: ") + text;
  LogLine(line);  // and in the /LOG file, where there is one
  WriteStandardError(line.c_str());
}

void WriteEntryError(int32_t index, const char* name, uint32_t result, unsigned long systemError) {
  char line[512];
  (void)std::snprintf(line, sizeof line, "entry %ld \"%.300s\" not written: %s, system error %lu",
                      static_cast<long>(index), name, ZipResultName(result), systemError);
  WriteErrorLine(line);
}

void WriteHeldEntryError(int32_t index, const char* name, unsigned long systemError, uint32_t heldMs,
                         const char* holders) {
  char line[768];
  (void)std::snprintf(line, sizeof line,
                      "entry %ld \"%.300s\" not written: ZRES_FILE_HELD, system error %lu; held by %.300s for "
                      "%lu.%lu s; the file stays as it was",
                      static_cast<long>(index), name, systemError, holders[0] != '\0' ? holders : "another program",
                      static_cast<unsigned long>(heldMs / 1000),
                      static_cast<unsigned long>(heldMs % 1000 / 100));
  WriteErrorLine(line);
}

void EndOnFault(const char* what) {
  // The first fault ends the process. Another thread's waits for it; the
  // same thread's, met on the way out, ends it at once.
  static volatile LONG ending = 0;
  const LONG me = static_cast<LONG>(::GetCurrentThreadId());
  const LONG first = ::InterlockedCompareExchange(&ending, me, 0);
  if (first == 0) {
    char line[240];
    (void)std::snprintf(line, sizeof line, "kvsetup: %.200s", what);
    LogAsciiLine(line);
    (void)std::strcat(line, "\r\n");
    HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE) {
      (void)::WriteFile(out, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    }
    EndSetupLog(2);
  } else if (first != me) {
    ::Sleep(INFINITE);
  }
  // No exit handler runs: the state they would tidy cannot be trusted, and
  // the install step may be half way through a file.
  (void)::TerminateProcess(::GetCurrentProcess(), 2);
  ::ExitProcess(2);
}
