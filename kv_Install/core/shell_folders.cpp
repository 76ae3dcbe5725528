#include "core/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "base/gbk_text.h"
#include "base/wide.h"

std::u16string SpecialFolderPathWide(int csidl) {
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &item)) || item == nullptr) return std::u16string();
  wchar_t path[MAX_PATH] = {};
  const BOOL ok = ::SHGetPathFromIDListW(item, path);
  ::CoTaskMemFree(item);
  return ok ? std::u16string(reinterpret_cast<const char16_t*>(path)) : std::u16string();
}

std::string SpecialFolderPath(int csidl) {
  const std::u16string wide = SpecialFolderPathWide(csidl);
  std::string gbk;
  if (Utf16ToGbk(wide, &gbk)) return gbk;
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD n = ::GetShortPathNameW(WStr(wide), shortPath, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !Utf16ToGbk(reinterpret_cast<const char16_t*>(shortPath), &gbk)) return std::string();
  return gbk;
}
