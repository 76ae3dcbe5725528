#include "archive_check.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "archive/zip_name_rules.h"
#include "archive/zip_reader.h"
#include "archive/zip_reader_entry.h"
#include "base/gbk_text.h"
#include "base/path_names.h"

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
// The installer's path buffers hold 260 bytes with the NUL, and its default
// folder for a 32-bit program on 64-bit Windows is the longest usual one; the
// unattended run joins names to it with one more separator.
constexpr size_t kMaxPath = 259;
constexpr size_t kDefaultFolderLength = sizeof("C:\\Program Files (x86)\\Kelvane\\") - 1 + 1;
constexpr uint16_t kZip64ExtraId = 0x0001;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

std::string Format(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// "end record N, directory M": what the end record says and what stands.
std::string Disagreement(size_t recorded, size_t found) {
  return "end record " + std::to_string(recorded) + ", directory " + std::to_string(found);
}

// Position of the last end-record signature whose record fits, or size.
size_t FindEndRecord(const uint8_t* data, size_t size) {
  if (size < kEndSize) return size;
  const size_t lowest = size > kEndSize + 0xFFFF ? size - kEndSize - 0xFFFF : 0;
  for (size_t pos = size - kEndSize + 1; pos-- > lowest;) {
    if (Read32(data + pos) == kEndSignature) return pos;
  }
  return size;
}

// A UTF-8 name that cannot become GBK, shown in GBK all the same: what
// converts as itself, a character GBK cannot hold as <U+XXXX>, a byte that is
// not UTF-8 as \xNN. Why it cannot become GBK goes to *problem.
std::string ShownUtf8Name(const std::string& name, std::string* problem) {
  std::string shown, gbk;
  std::u16string wide;
  bool malformed = false;
  for (size_t i = 0; i < name.size();) {
    const unsigned char lead = static_cast<unsigned char>(name[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const std::string piece = name.substr(i, length);
    if (Utf8ToUtf16(piece, &wide)) {
      if (Utf16ToGbk(wide, &gbk)) {
        shown += gbk;
      } else {
        const uint32_t cp = wide.size() == 2 ? 0x10000 + ((wide[0] - 0xD800u) << 10) + (wide[1] - 0xDC00u) : wide[0];
        shown += Format("<U+%04X>", cp);
      }
      i += length;
    } else {
      malformed = true;
      shown += Format("\\x%02X", lead);
      i += 1;
    }
  }
  *problem = malformed ? "UTF-8 name not well-formed" : "UTF-8 name outside GBK";
  return shown;
}

bool HasZip64Extra(const uint8_t* extra, size_t length) {
  for (size_t offset = 0; offset + 4 <= length;) {
    const uint16_t id = Read16(extra + offset);
    const uint16_t dataSize = Read16(extra + offset + 2);
    if (id == kZip64ExtraId) return true;
    offset += 4 + dataSize;
  }
  return false;
}

}  // namespace

// A stored name as the file system compares it: '\' as '/', ASCII letters
// in one case (double-byte characters as they stand), no trailing separator.
std::string FileSystemKey(const std::string& name) {
  std::string key;
  const char* text = name.c_str();
  for (const char* p = text; *p != '\0';) {
    const char* next = MbcsNext(p);
    if (next == p + 1) {
      char c = *p == '\\' ? '/' : *p;
      key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    } else {
      key.append(p, next);
    }
    p = next;
  }
  while (!key.empty() && key.back() == '/') key.pop_back();
  return key;
}

namespace {

// 1700000000 as "1,700,000,000".
std::string WithThousands(uint64_t value) {
  std::string digits = std::to_string(value);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

std::string PayloadSizeProblem(uint64_t size) {
  if (size <= kMaxPayloadBytes) return std::string();
  return WithThousands(size) + " bytes, over the limit of " + WithThousands(kMaxPayloadBytes) +
         ": kvsetup.exe is a 32-bit program that maps its whole file, payload included, into 2 GB of address space";
}

std::string StoredNameProblem(const std::string& name) {
  if (name.empty()) return "empty name";
  // Each file is first written under a temporary name beside it.
  const size_t folderPart = FolderPartLength(name.c_str());
  if (kDefaultFolderLength + std::max(name.size(), folderPart + kZipTempNameLength) > kMaxPath) return "name too long";
  if (name.size() >= 2 && name[1] == ':') return "drive in name";
  if (IsSeparator(name[0])) return "leading separator";
  // Components are split at separators that start a character in code page
  // 936, as the installer splits them.
  const char* text = name.c_str();
  if (HasParentComponent(text)) return "\"..\" component";
  const char* reason = UnsafePathReason(text);
  if (reason == nullptr) reason = TrailingDotOrSpaceReason(text);
  if (reason != nullptr) return reason;
  // The installer names its files in Unicode, converted from GBK.
  std::u16string wide;
  return GbkToUtf16(name, &wide) ? std::string() : "name not GBK";
}

namespace {


}  // namespace

std::vector<ArchiveProblem> NameClashes(const std::vector<StoredEntry>& entries) {
  std::vector<ArchiveProblem> problems;
  std::map<std::string, size_t> files, folders;  // key -> first entry index
  std::vector<std::string> keys;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& name = entries[i].name;
    const bool folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    const std::string key = FileSystemKey(name);
    keys.push_back(key);
    auto& own = folder ? folders : files;
    if (!own.emplace(key, i).second) {
      problems.push_back({static_cast<int>(i), "same name as entry " + std::to_string(own[key]), name});
    }
    // The folders on the way to each entry exist too.
    for (size_t slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1)) {
      folders.emplace(key.substr(0, slash), i);
    }
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    auto file = files.find(keys[i]);
    auto folder = folders.find(keys[i]);
    if (file != files.end() && file->second == i && folder != folders.end()) {
      problems.push_back({static_cast<int>(i), "file and folder of the same name", entries[i].name});
    }
  }
  return problems;
}

ArchiveRecords CheckArchiveRecords(const uint8_t* data, size_t size) {
  ArchiveRecords records;
  auto problem = [&records](int index, std::string text, std::string detail = std::string()) {
    records.problems.push_back({index, std::move(text), std::move(detail)});
  };

  const size_t end = FindEndRecord(data, size);
  if (end == size) {
    problem(-1, "no end record");
    return records;
  }
  const uint8_t* record = data + end;
  const uint16_t disk = Read16(record + 4);
  const uint16_t directoryDisk = Read16(record + 6);
  const uint16_t entriesHere = Read16(record + 8);
  const uint16_t entries = Read16(record + 10);
  const uint32_t directorySize = Read32(record + 12);
  const uint32_t directoryOffset = Read32(record + 16);

  bool zip64 = end >= 20 && Read32(data + end - 20) == kZip64LocatorSignature;
  zip64 = zip64 || disk == 0xFFFF || directoryDisk == 0xFFFF || entriesHere == 0xFFFF || entries == 0xFFFF ||
          directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF;
  if (zip64) problem(-1, "ZIP64 end record");
  if (disk != 0 || directoryDisk != 0 || entriesHere != entries) problem(-1, "spans several disks");
  if (static_cast<uint64_t>(directoryOffset) + directorySize > end) {
    problem(-1, "central directory outside the archive");
    return records;
  }
  // Bytes in front of the archive shift every offset it records.
  const size_t prefix = end - (static_cast<size_t>(directoryOffset) + directorySize);
  size_t pos = prefix + directoryOffset;
  const size_t directoryEnd = pos + directorySize;
  // A directory size short of the headers passes for bytes in front of the
  // archive; the headers then stand where no such bytes are assumed.
  if (!zip64 && prefix > 0 && Read32(data + pos) != kCentralSignature && directoryOffset + 4 <= end &&
      Read32(data + directoryOffset) == kCentralSignature) {
    problem(-1, "directory size disagrees with its headers", Disagreement(directorySize, end - directoryOffset));
    return records;
  }

  for (unsigned index = 0; index < entries; ++index) {
    const int i = static_cast<int>(index);
    if (pos + kCentralSize > directoryEnd || Read32(data + pos) != kCentralSignature) {
      problem(i, "bad central header");
      return records;
    }
    const uint8_t* header = data + pos;
    const uint16_t flags = Read16(header + 8);
    const uint16_t method = Read16(header + 10);
    const uint32_t compressedSize = Read32(header + 20);
    const uint32_t uncompressedSize = Read32(header + 24);
    const uint16_t nameLength = Read16(header + 28);
    const uint16_t extraLength = Read16(header + 30);
    const uint16_t commentLength = Read16(header + 32);
    const uint16_t diskStart = Read16(header + 34);
    const uint32_t localOffset = Read32(header + 42);
    if (pos + kCentralSize + nameLength + extraLength + commentLength > directoryEnd) {
      problem(i, "bad central header");
      return records;
    }
    StoredEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(header + kCentralSize), nameLength);
    entry.externalAttributes = Read32(header + 38);
    entry.host = header[5];

    // The name is shown up to a NUL it may hold, as the installer would see
    // it, and so is a UTF-8 name: in GBK.
    std::string utf8Problem, gbk;
    const bool unconverted = (flags & kZipUtf8NameFlag) && !Utf8ToGbk(entry.name, &gbk);
    if ((flags & kZipUtf8NameFlag) && !unconverted) entry.name = gbk;
    std::string shown = entry.name.substr(0, entry.name.find('\0'));
    if (unconverted) {
      shown = ShownUtf8Name(shown, &utf8Problem);
      problem(i, utf8Problem, shown);
    }
    if (method != 0 && method != 8 && method != 14) problem(i, Format("method %u", method), shown);
    if (flags & 0x0041) problem(i, "encrypted", shown);
    if (compressedSize == 0xFFFFFFFF || uncompressedSize == 0xFFFFFFFF || localOffset == 0xFFFFFFFF ||
        diskStart == 0xFFFF || HasZip64Extra(header + kCentralSize + nameLength, extraLength)) {
      problem(i, "ZIP64 fields", shown);
    }
    if (entry.name.find('\0') != std::string::npos) problem(i, "NUL in name", shown);
    // The rules see the name the installer writes; one it cannot convert
    // has had its word.
    const std::string nameProblem = utf8Problem.empty() ? StoredNameProblem(entry.name) : std::string();
    if (!nameProblem.empty()) problem(i, nameProblem, shown);

    records.entries.push_back(std::move(entry));
    pos += kCentralSize + nameLength + extraLength + commentLength;
  }
  // The end record's count and size must describe the whole directory: a
  // writer that counted more than 65,535 entries into 16 bits leaves headers
  // the reader never visits, and the archive would install in part.
  if (pos != directoryEnd) {
    unsigned headers = entries;
    for (size_t at = pos; at + kCentralSize <= directoryEnd && Read32(data + at) == kCentralSignature; ++headers) {
      at += kCentralSize + Read16(data + at + 28) + Read16(data + at + 30) + Read16(data + at + 32);
    }
    if (headers != entries) {
      problem(-1, "entry count disagrees with the directory", Disagreement(entries, headers));
    } else {
      const size_t walked = pos - prefix - directoryOffset;
      problem(-1, "directory size disagrees with its headers", Disagreement(directorySize, walked));
    }
  }
  for (ArchiveProblem& clash : NameClashes(records.entries)) records.problems.push_back(std::move(clash));
  records.found = true;
  return records;
}
