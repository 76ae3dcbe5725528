#include "core/registration.h"

#include <windows.h>

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
  // Stored as UTF-16 by the wide call, so every system reads the GBK text
  // right; the narrow call would convert it with the system's code page.
  std::u16string wideName, wideData;
  if (!GbkToUtf16(name, &wideName) || !GbkToUtf16(data, &wideData)) return 0;

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
  const DWORD bytes = static_cast<DWORD>((wideData.size() + 1) * sizeof(char16_t));
  const LONG stored = ::RegSetValueExW(key.get(), reinterpret_cast<const wchar_t*>(wideName.c_str()), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(wideData.c_str()), bytes);
  return stored == ERROR_SUCCESS ? 1 : 0;
}

int WriteUninstallNumber(const char* name, uint32_t data) {
  if (name == nullptr || name[0] == '\0') return 0;

  // Opens the key the text values were written to, or creates it.
  UniqueHKey key;
  char noClass[] = "";
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, noClass, REG_OPTION_NON_VOLATILE, kCreateAccess, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  const DWORD value = data;
  const LONG stored =
      ::RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  return stored == ERROR_SUCCESS ? 1 : 0;
}
