// Platform hooks of the Windows build: the system's own calendar and time
// zone conversions, and the process's current folder in GBK.
#include "archive/zip_platform.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "base/gbk_text.h"

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
  buffer[0] = '\0';
  // In GBK, converted with code page 936; left empty when the folder does
  // not fit or holds a character GBK cannot hold.
  wchar_t wide[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, wide);
  if (length == 0 || length >= MAX_PATH) return;  // 0 on failure, the size needed when too small
  std::string gbk;
  if (!Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(wide), length), &gbk) || gbk.size() >= size) {
    return;
  }
  std::memcpy(buffer, gbk.c_str(), gbk.size() + 1);
}
