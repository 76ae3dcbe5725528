#include "report/settings.h"

#include <windows.h>

#include <cstring>

#include "base/handles.h"

namespace {
// The longest "kcno" value taken.
constexpr DWORD kUserNumberMaxBytes = 260;
}  // namespace

bool ReadUserNumberText(char* buffer) {
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KV\\ORBEN", 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
    return false;
  }
  // Read aside first: a value that does not fit may leave partial bytes in
  // the receiving buffer, and the caller's buffer must stay as it was.
  BYTE value[kUserNumberMaxBytes] = {};
  DWORD size = sizeof value;
  if (::RegQueryValueExA(key.get(), "kcno", nullptr, nullptr, value, &size) != ERROR_SUCCESS) return false;
  std::memcpy(buffer, value, size <= sizeof value ? size : sizeof value);
  return true;
}

void ReadDownloadSource(char* buffer) {
  ::GetPrivateProfileStringA("DownLoadSource", "source", "kvpc012", buffer, 512, ".\\config.ini");
}
