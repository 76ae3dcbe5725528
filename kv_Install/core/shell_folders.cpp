#include "core/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

std::string SpecialFolderPath(int csidl) {
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &item)) || item == nullptr) return std::string();
  char path[MAX_PATH] = {};
  const BOOL ok = ::SHGetPathFromIDListA(item, path);
  ::CoTaskMemFree(item);
  return ok ? std::string(path) : std::string();
}
