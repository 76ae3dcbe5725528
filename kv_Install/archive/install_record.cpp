#include "archive/install_record.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/zip_name_rules.h"
#include "base/path_names.h"

const char kInstallRecordName[] = "kvsetup.files";
const char kStagingFolderName[] = "~kvstage";

namespace {

constexpr char kHead[] = "kvsetup install record 1";

// The first component of name, compared without regard to ASCII case.
bool FirstComponentIs(const std::string& name, const char* component) {
  const size_t length = std::strlen(component);
  if (name.size() < length || (name.size() > length && !IsSeparator(name[length]))) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != component[i]) return false;
  }
  return true;
}

// A decimal or hexadecimal number that is the whole of text, no sign.
bool ReadNumber(const std::string& text, int base, uint64_t* value) {
  if (text.empty() || text.size() > 20) return false;
  for (const char c : text) {
    const bool digit = c >= '0' && c <= '9';
    const bool hex = (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    if (!digit && !(base == 16 && hex)) return false;
  }
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text.c_str(), &end, base);
  if (end == nullptr || *end != '\0') return false;
  *value = n;
  return true;
}

}  // namespace

bool RecordableName(const std::string& name) {
  if (name.empty() || IsAbsolutePath(name.c_str()) || HasParentComponent(name.c_str()) ||
      UnsafePathReason(name.c_str()) != nullptr || IsSeparator(name.back())) {
    return false;
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  // Empty components ("a//b") would name something else than they spell.
  if (EachComponent(name.c_str(), [](const char* component, size_t length) {
        return length == 0 ? component : nullptr;
      }) != nullptr) {
    return false;
  }
  return !FirstComponentIs(name, "kvsetup.files") && !FirstComponentIs(name, "~kvstage");
}

std::string SerializeInstallRecord(const std::vector<RecordedFile>& files) {
  std::string text = std::string(kHead) + "\r\n";
  char numbers[48];
  for (const RecordedFile& file : files) {
    (void)std::snprintf(numbers, sizeof numbers, "%08lX\t%llu\t", static_cast<unsigned long>(file.crc),
                        static_cast<unsigned long long>(file.size));
    text += numbers + file.name + "\r\n";
  }
  (void)std::snprintf(numbers, sizeof numbers, "end %lu\r\n", static_cast<unsigned long>(files.size()));
  return text + numbers;
}

bool ParseInstallRecord(const std::string& text, std::vector<RecordedFile>* files) {
  files->clear();
  std::vector<RecordedFile> read;
  size_t at = 0;
  bool head = false;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) return false;  // cut short
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (!head) {
      if (line != kHead) return false;
      head = true;
      continue;
    }
    if (line.compare(0, 4, "end ") == 0) {
      uint64_t count = 0;
      if (at != text.size() || !ReadNumber(line.substr(4), 10, &count) || count != read.size()) return false;
      *files = std::move(read);
      return true;
    }
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos || tab1 != 8) return false;
    RecordedFile file;
    uint64_t crc = 0;
    if (!ReadNumber(line.substr(0, tab1), 16, &crc) || !ReadNumber(line.substr(tab1 + 1, tab2 - tab1 - 1), 10, &file.size)) {
      return false;
    }
    file.crc = static_cast<uint32_t>(crc);
    file.name = line.substr(tab2 + 1);
    if (!RecordableName(file.name)) return false;
    read.push_back(std::move(file));
  }
  return false;  // no end line
}
