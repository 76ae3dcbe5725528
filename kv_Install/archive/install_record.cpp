#include "archive/install_record.h"

#include <cstdio>
#include <cstring>

#include "archive/zip_name_rules.h"
#include "base/path_names.h"

const char kInstallRecordName[] = "kvsetup.files";
const char kStagingFolderName[] = "~kvstage";

namespace {

constexpr char kHead[] = "kvsetup install record 1";

// The first component of name is component (lower case), in any ASCII case.
bool FirstComponentIs(const std::string& name, const char* component) {
  const size_t length = std::strlen(component);
  if (name.size() < length || (name.size() > length && !IsSeparator(name[length]))) return false;
  for (size_t i = 0; i < length; ++i) {
    const char c = name[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != component[i]) return false;
  }
  return true;
}

}  // namespace

bool ReadNumber(const std::string& text, bool hex, uint64_t* value) {
  if (text.empty() || text.size() > 16) return false;
  uint64_t n = 0;
  for (const char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return false;
    n = n * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
  }
  *value = n;
  return true;
}

void AddTableRow(std::string* text, const char* first, const char* second, const std::string& name) {
  *text += first;
  *text += '\t';
  *text += second;
  *text += '\t';
  *text += name;
  *text += "\r\n";
}

void EndTable(std::string* text, size_t rows) {
  char end[24];
  (void)std::snprintf(end, sizeof end, "end %lu\r\n", static_cast<unsigned long>(rows));
  *text += end;
}

bool ParseTableText(const std::string& text, const char* head, TableRow row, void* context) {
  size_t at = 0, rows = 0;
  for (bool first = true; at < text.size(); first = false) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) return false;  // cut short
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (first) {
      if (line != head) return false;
      continue;
    }
    uint64_t count = 0;
    if (line.compare(0, 4, "end ") == 0) {
      return at == text.size() && ReadNumber(line.substr(4), false, &count) && count == rows;
    }
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos ||
        !row(context, line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1))) {
      return false;
    }
    ++rows;
  }
  return false;
}

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
  return !FirstComponentIs(name, kInstallRecordName) && !FirstComponentIs(name, kStagingFolderName);
}

std::string SerializeInstallRecord(const std::vector<RecordedFile>& files) {
  std::string text = std::string(kHead) + "\r\n";
  char crc[12], size[24];
  for (const RecordedFile& file : files) {
    (void)std::snprintf(crc, sizeof crc, "%08lX", static_cast<unsigned long>(file.crc));
    (void)std::snprintf(size, sizeof size, "%llu", static_cast<unsigned long long>(file.size));
    AddTableRow(&text, crc, size, file.name);
  }
  EndTable(&text, files.size());
  return text;
}

bool ParseInstallRecord(const std::string& text, std::vector<RecordedFile>* files) {
  files->clear();
  const TableRow row = [](void* context, const std::string& first, const std::string& second, const std::string& name) {
    RecordedFile file;
    uint64_t crc = 0;
    if (first.size() != 8 || !ReadNumber(first, true, &crc) || !ReadNumber(second, false, &file.size) ||
        !RecordableName(name)) {
      return false;
    }
    file.crc = static_cast<uint32_t>(crc);
    file.name = name;
    static_cast<std::vector<RecordedFile>*>(context)->push_back(std::move(file));
    return true;
  };
  if (ParseTableText(text, kHead, row, files)) return true;
  files->clear();
  return false;
}
