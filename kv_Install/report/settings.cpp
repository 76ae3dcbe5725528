#include "report/settings.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/wide.h"
#include "report/profile_text.h"

namespace {

// The longest "kcno" value taken, in GBK bytes with its NUL.
constexpr size_t kUserNumberMaxBytes = 260;
// A config.ini is a few lines; a file past this size is no settings file.
constexpr DWORD kProfileMaxBytes = 1 << 20;

// The GBK profile text of the file at path; false when it cannot be read.
bool ReadProfileText(const char* path, std::string* text) {
  std::u16string widePath;
  if (path == nullptr || !GbkToUtf16(path, &widePath)) return false;
  UniqueHandle file(::CreateFileW(WStr(widePath), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const DWORD size = ::GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size > kProfileMaxBytes) return false;
  std::string bytes(size, '\0');
  DWORD read = 0;
  if (size != 0 && !::ReadFile(file.get(), &bytes[0], size, &read, nullptr)) return false;
  bytes.resize(read);
  *text = ProfileTextAsGbk(bytes);
  return true;
}

bool FindValue(const char* path, const char* section, const char* key, std::string* value) {
  std::string text;
  return ReadProfileText(path, &text) && FindProfileValue(text, section, key, value);
}

}  // namespace

bool ReadUserNumberText(char* buffer) {
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KV\\ORBEN", 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
    return false;
  }
  // Read aside and as UTF-16, with its type: only text is a user number.
  // Room for twice the GBK limit, so a value the limit refuses still reads
  // and is refused by its GBK length, as the narrow read refused it.
  wchar_t value[kUserNumberMaxBytes] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof value;
  if (::RegQueryValueExW(key.get(), L"kcno", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  std::u16string text(reinterpret_cast<const char16_t*>(value), size / sizeof value[0]);
  const size_t end = text.find(u'\0');  // the stored NUL, if any, ends the text
  if (end != std::u16string::npos) text.resize(end);
  std::string gbk;
  if (!Utf16ToGbk(text, &gbk) || gbk.size() + 1 > kUserNumberMaxBytes) return false;
  std::memcpy(buffer, gbk.c_str(), gbk.size() + 1);
  return true;
}

void ReadDownloadSource(char* buffer) {
  ReadProfileString(".\\config.ini", "DownLoadSource", "source", "kvpc012", buffer, 512);
}

void ReadProfileString(const char* path, const char* section, const char* key, const char* fallback, char* buffer,
                       size_t size) {
  std::string value;
  if (!FindValue(path, section, key, &value)) value = fallback;
  CopyProfileValue(value, buffer, size);
}

unsigned ReadProfileInt(const char* path, const char* section, const char* key, unsigned fallback) {
  std::string value;
  return FindValue(path, section, key, &value) ? ProfileInt(value, fallback) : fallback;
}
