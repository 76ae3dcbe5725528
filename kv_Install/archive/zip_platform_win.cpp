// Platform hooks of the Windows build: the system's own calendar and time
// zone conversions, and the process's current folder.
#include "archive/zip_platform.h"

#include <windows.h>

bool ZipDosTimeToFileTime(uint32_t dosDateTime, ZipFileTime* out) {
  const uint32_t date = dosDateTime >> 16;
  const uint32_t time = dosDateTime & 0xFFFF;
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(1980 + (date >> 9));
  st.wMonth = static_cast<WORD>((date >> 5) & 15);
  st.wDay = static_cast<WORD>(date & 31);
  st.wHour = static_cast<WORD>(time >> 11);
  st.wMinute = static_cast<WORD>((time >> 5) & 63);
  st.wSecond = static_cast<WORD>(2 * (time & 31));
  st.wMilliseconds = 0;
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
  out->dwLowDateTime = utc.dwLowDateTime;
  out->dwHighDateTime = utc.dwHighDateTime;
  return true;
}

void ZipCurrentFolder(char* buffer, size_t size) {
  if (size == 0) return;
  const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
  // 0 on failure; the size needed when the buffer is too small.
  if (length == 0 || length >= size) buffer[0] = '\0';
}
