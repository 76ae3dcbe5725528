#include "archive/zip_reader_entry.h"

#include <cstring>
#include <string>

#include "archive/zip_platform.h"
#include "base/gbk_text.h"
#include "base/path_names.h"

namespace {

// Drive prefixes, leading separators and separator-".."-separator runs, tried
// in this order and again from the first after each one that applies.
const char* SkipUnsafePrefixes(const char* p) {
  static const char* const kParentRuns[] = {"\\..\\", "\\../", "/../", "/..\\"};
  for (;;) {
    if (p[0] != '\0' && p[1] == ':') {
      p += 2;
      continue;
    }
    if (IsSeparator(p[0])) {
      p += 1;
      continue;
    }
    const char* found = nullptr;
    for (const char* run : kParentRuns) {
      found = MbcsFind(p, run);
      if (found != nullptr) break;
    }
    if (found == nullptr) return p;
    p = found + 4;
  }
}

// Removes every ".." component (with the separator after it) in place.
// True when one was removed.
bool RemoveParentComponents(char* name) {
  bool removed = false;
  char* out = name;  // never ahead of the component being read
  (void)EachComponent(name, [&](const char* component, size_t length) -> const char* {
    if (IsParentComponent(component, length)) {
      removed = true;
    } else {
      const size_t kept = length + (component[length] != '\0' ? 1 : 0);  // with its separator
      std::memmove(out, component, kept);
      out += kept;
    }
    return nullptr;
  });
  *out = '\0';
  return removed;
}

ZipFileTime FromUnixTime(int32_t seconds) {
  const uint64_t ticks = (static_cast<int64_t>(seconds) + 11644473600LL) * 10000000ULL;
  return ZipFileTime{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

}  // namespace

bool Utf8NameToGbk(char* name) {
  const size_t length = std::strlen(name);
  bool ascii = true;
  for (size_t i = 0; i < length && ascii; ++i) ascii = static_cast<unsigned char>(name[i]) < 0x80;
  if (ascii) return true;  // the same in both, and most names are
  std::string gbk;
  if (!Utf8ToGbk(std::string_view(name, length), &gbk) || gbk.size() > length) return false;
  std::memcpy(name, gbk.c_str(), gbk.size() + 1);
  return true;
}

void CleanEntryName(char* name) {
  // Removing a ".." component can bring a drive or a separator to the front
  // ("..\C:\x"), so the two passes repeat until neither changes the name; each
  // round that goes on has made it shorter.
  do {
    const char* start = SkipUnsafePrefixes(name);
    std::memmove(name, start, std::strlen(start) + 1);
  } while (RemoveParentComponents(name));
}

uint32_t ZipAttributes(uint32_t versionMadeBy, uint32_t a) {
  const uint32_t host = versionMadeBy >> 8;
  bool readOnly, hidden, system, folder, archive;
  if (host == 0 || host == 7 || host == 11 || host == 14) {
    readOnly = (a & 0x01) != 0;
    hidden = (a & 0x02) != 0;
    system = (a & 0x04) != 0;
    folder = (a & 0x10) != 0;
    archive = (a & 0x20) != 0;
  } else {
    folder = (a & 0x40000000u) != 0;
    readOnly = (a & 0x00800000u) == 0;
    archive = true;
    hidden = system = false;
  }
  return (folder ? 0x10u : 0) | (archive ? 0x20u : 0) | (hidden ? 0x02u : 0) | (readOnly ? 0x01u : 0) |
         (system ? 0x04u : 0);
}

void ZipEntryTimes(uint32_t dosDateTime, const uint8_t* extra, uint32_t extraLength, ZipEntryInfo* info) {
  ZipFileTime dos{0, 0};
  if (!ZipDosTimeToFileTime(dosDateTime, &dos)) dos = ZipFileTime{0, 0};
  info->accessTime = info->creationTime = info->writeTime = dos;

  // Blocks of a 2-byte ID, a 2-byte data size and the data; only the first
  // "UT" block counts. Its times are read only within the block's own data,
  // clipped to the extra field.
  uint64_t offset = 0;
  while (offset + 4 < extraLength) {
    const uint32_t size = static_cast<uint32_t>(extra[offset + 2]) | static_cast<uint32_t>(extra[offset + 3]) << 8;
    if (extra[offset] != 'U' || extra[offset + 1] != 'T') {
      offset += 4 + static_cast<uint64_t>(size);
      continue;
    }
    uint64_t end = offset + 4 + size;
    if (end > extraLength) end = extraLength;
    const uint8_t flags = extra[offset + 4];
    uint64_t at = offset + 5;
    ZipFileTime* targets[3] = {&info->writeTime, &info->accessTime, &info->creationTime};
    for (int bit = 0; bit < 3; ++bit) {
      if ((flags & (1u << bit)) == 0) continue;
      if (at + 4 > end) break;
      const uint32_t raw = static_cast<uint32_t>(extra[at]) | static_cast<uint32_t>(extra[at + 1]) << 8 |
                           static_cast<uint32_t>(extra[at + 2]) << 16 | static_cast<uint32_t>(extra[at + 3]) << 24;
      *targets[bit] = FromUnixTime(static_cast<int32_t>(raw));
      at += 4;
    }
    return;
  }
}
