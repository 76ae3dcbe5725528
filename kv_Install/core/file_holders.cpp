#include "core/file_holders.h"

#include <windows.h>
#include <restartmanager.h>

#include <cstdio>

#include "base/wide.h"

std::string FileHolders(const char* path) {
  const WidePath widePath(path);
  if (!widePath.ok()) return std::string();
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  // Every call's failure value is an error code (without the DLL too: its
  // stand-ins give ERROR_NOT_SUPPORTED).
  if (::RmStartSession(&session, 0, key) != ERROR_SUCCESS) return std::string();
  std::string holders;
  LPCWSTR files[] = {widePath.c_str()};
  RM_PROCESS_INFO found[8];
  UINT needed = 0, count = sizeof found / sizeof found[0];
  DWORD reasons = 0;
  if (::RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
      ::RmGetList(session, &needed, &count, found, &reasons) == ERROR_SUCCESS) {
    for (UINT i = 0; i < count && i < sizeof found / sizeof found[0]; ++i) {
      char process[40];
      (void)std::snprintf(process, sizeof process, " (process %lu)", found[i].Process.dwProcessId);
      if (!holders.empty()) holders += ", ";
      holders += NarrowOrPlaceholder(AsU16(found[i].strAppName)) + process;
    }
  }
  (void)::RmEndSession(session);
  return holders;
}
