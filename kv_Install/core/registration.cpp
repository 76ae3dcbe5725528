#include "core/registration.h"

#include <windows.h>

#include <string>

#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/wide.h"

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvane";

namespace {

// Read, set value and create sub-key: enough to store the values of a key we
// had to create ourselves.
const REGSAM kCreateAccess = 0x2001F;

}  // namespace

namespace {

// One value of the Uninstall key, its name stored as UTF-16 by the wide
// call so that every system reads it right. Each value opens and closes the
// key on its own; the first one usually finds it missing and creates it.
int SetUninstallValue(const char* name, DWORD type, const void* data, DWORD bytes) {
  std::u16string wideName;
  if (name == nullptr || name[0] == '\0' || !GbkToUtf16(name, &wideName)) return 0;
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
    char noClass[] = "";
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, noClass, REG_OPTION_NON_VOLATILE, kCreateAccess,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
      return 0;
    }
  }
  const LONG stored = ::RegSetValueExW(key.get(), WStr(wideName), 0, type,
                                       static_cast<const BYTE*>(data), bytes);
  return stored == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace

int WriteUninstallValue(const char* name, const char* data) {
  // The text goes as UTF-16 too: the narrow call would convert it with the
  // system's code page.
  std::u16string wideData;
  if (data == nullptr || !GbkToUtf16(data, &wideData)) return 0;
  // REG_SZ counts the terminating NUL.
  return SetUninstallValue(name, REG_SZ, wideData.c_str(),
                           static_cast<DWORD>((wideData.size() + 1) * sizeof(char16_t)));
}

int WriteUninstallNumber(const char* name, uint32_t data) {
  const DWORD value = data;
  return SetUninstallValue(name, REG_DWORD, &value, sizeof value);
}

int DeleteUninstallValue(const char* name) {
  std::u16string wideName;
  if (name == nullptr || name[0] == '\0' || !GbkToUtf16(name, &wideName)) return 0;
  UniqueHKey key;
  const LONG opened = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE, key.put());
  if (opened == ERROR_FILE_NOT_FOUND) return 1;
  if (opened != ERROR_SUCCESS) return 0;
  const LONG deleted = ::RegDeleteValueW(key.get(), WStr(wideName));
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

bool ReadUninstallText(const char* name, std::string* text) {
  text->clear();
  std::u16string wideName;
  if (name == nullptr || name[0] == '\0' || !GbkToUtf16(name, &wideName)) return false;
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
  wchar_t value[1024];
  DWORD type = 0, size = sizeof value - sizeof(wchar_t);
  if (::RegQueryValueExW(key.get(), WStr(wideName), nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  // Stored without its NUL, or with more than one, the value ends at the first.
  value[size / sizeof(wchar_t)] = L'\0';
  return Utf16ToGbk(AsU16(value), text);
}
