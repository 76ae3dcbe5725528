#include "core/uninstall_details.h"

#include <cstdio>

#include "core/folder_rules.h"

namespace {

// The blanks the release build strips around the version: Python's
// str.strip() over the bytes read as Latin-1.
bool IsStrippedBlank(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || (c >= 0x1C && c <= 0x1F) || c == 0x85 || c == 0xA0;
}

// N.N.N or N.N.N.N, each N one to five digits and at most 65535.
bool IsVersionForm(std::string_view text) {
  int parts = 0;
  size_t pos = 0;
  for (;;) {
    size_t digits = 0;
    uint32_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 6) {
      value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || digits > 5 || value > 65535) return false;
    ++parts;
    if (pos == text.size()) return parts == 3 || parts == 4;
    if (text[pos] != '.' || parts == 4) return false;
    ++pos;
  }
}

}  // namespace

std::string VersionFromVersionData(std::string_view data) {
  std::string_view text = data.substr(0, kVersionTextSize);
  text = text.substr(0, text.find('\0'));
  while (!text.empty() && IsStrippedBlank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && IsStrippedBlank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return IsVersionForm(text) ? std::string(text) : std::string();
}

std::string InstallDateText(const CalendarDate& date) {
  if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) {
    return std::string();
  }
  char text[9];
  std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
  return text;
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
