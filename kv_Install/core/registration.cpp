#include "core/registration.h"

#include <windows.h>

#include <cstring>

#include <string>

#include "base/gbk_text.h"
#include "base/handles.h"

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvane";

namespace {

// Read, set value and create sub-key: enough to store the values of a key we
// had to create ourselves.
const REGSAM kCreateAccess = 0x2001F;

}  // namespace

int WriteUninstallValue(const char* name, const char* data) {
  if (name == nullptr || name[0] == '\0' || data == nullptr) return 0;

  // Each value opens and closes the key on its own; the first one usually
  // finds it missing and creates it.
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
    char noClass[] = "";
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, noClass, REG_OPTION_NON_VOLATILE, kCreateAccess,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
      return 0;
    }
  }

  // REG_SZ counts the terminating NUL.
  const DWORD bytes = static_cast<DWORD>(std::strlen(data) + 1);
  const LONG stored =
      ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
  return stored == ERROR_SUCCESS ? 1 : 0;
}

int WriteUninstallNumber(const char* name, uint32_t data) {
  std::u16string wideName;
  std::u16string wideKey;
  if (name == nullptr || name[0] == '\0' || !GbkToUtf16(name, &wideName) || !GbkToUtf16(kUninstallKey, &wideKey)) {
    return 0;
  }
  const auto* keyPath = reinterpret_cast<const wchar_t*>(wideKey.c_str());
  UniqueHKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
    wchar_t noClass[] = L"";
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, noClass, REG_OPTION_NON_VOLATILE, kCreateAccess, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
      return 0;
    }
  }
  const DWORD value = data;
  const LONG stored = ::RegSetValueExW(key.get(), reinterpret_cast<const wchar_t*>(wideName.c_str()), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value);
  return stored == ERROR_SUCCESS ? 1 : 0;
}
