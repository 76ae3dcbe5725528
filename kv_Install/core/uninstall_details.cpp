#include "core/uninstall_details.h"

#include <cstdio>
#include <cstring>

#include "core/folder_rules.h"

namespace {

// The blanks the release build strips around the version: Python's
// str.strip() over the bytes read as Latin-1.
bool IsStrippedBlank(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || (c >= 0x1C && c <= 0x1F) || c == 0x85 || c == 0xA0;
}

// N.N.N or N.N.N.N, each N one to five digits and at most 65535.
bool IsVersionForm(const char* p, const char* end) {
  int parts = 1;
  int digits = 0;
  uint32_t value = 0;
  for (; p < end; ++p) {
    if (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<uint32_t>(*p - '0');
      if (++digits > 5 || value > 65535) return false;
    } else if (*p != '.' || digits == 0 || ++parts > 4) {
      return false;
    } else {
      digits = 0;
      value = 0;
    }
  }
  return digits > 0 && parts >= 3;
}

}  // namespace

bool VersionFromVersionData(const char* data, size_t size, char (&version)[kVersionTextSize + 1]) {
  version[0] = '\0';
  const char* begin = data;
  const char* end = data;
  const char* const limit = data + (size < kVersionTextSize ? size : kVersionTextSize);
  while (end < limit && *end != '\0') ++end;
  while (begin < end && IsStrippedBlank(static_cast<unsigned char>(*begin))) ++begin;
  while (begin < end && IsStrippedBlank(static_cast<unsigned char>(end[-1]))) --end;
  if (!IsVersionForm(begin, end)) return false;
  const size_t length = static_cast<size_t>(end - begin);
  std::memcpy(version, begin, length);
  version[length] = '\0';
  return true;
}

bool InstallDateText(const CalendarDate& date, char (&text)[9]) {
  text[0] = '\0';
  if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) {
    return false;
  }
  std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
  return true;
}

uint32_t SizeInKib(uint64_t bytes) {
  const uint64_t kib = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
  return kib > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kib);
}

std::string InstallLocationText(const std::string& installDir) {
  std::string folder = TrimTrailingBackslashes(installDir);
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  return folder;
}
