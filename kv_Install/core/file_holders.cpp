#include "core/file_holders.h"

#include <windows.h>
#include <restartmanager.h>

#include <cstdio>
#include <memory>

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
  // Room for the usual few; when there are more, the list says how many
  // (ERROR_MORE_DATA) and is asked again with room for them, a few rounds
  // while holders keep coming.
  UINT room = 8, count = 0;
  std::unique_ptr<RM_PROCESS_INFO[]> found(new RM_PROCESS_INFO[room]);
  DWORD listed = ::RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr);
  for (int round = 1; listed == ERROR_SUCCESS; ++round) {
    UINT needed = 0;
    DWORD reasons = 0;
    count = room;
    listed = ::RmGetList(session, &needed, &count, found.get(), &reasons);
    if (listed != ERROR_MORE_DATA || needed > 1024 || round == 4) break;
    room = needed + 4;  // and a few more that may have come meanwhile
    found.reset(new RM_PROCESS_INFO[room]);
    listed = ERROR_SUCCESS;
  }
  if (listed == ERROR_SUCCESS) {
    for (UINT i = 0; i < count && i < room; ++i) {
      char process[40];
      (void)std::snprintf(process, sizeof process, " (process %lu)", found[i].Process.dwProcessId);
      if (!holders.empty()) holders += ", ";
      holders += NarrowOrPlaceholder(AsU16(found[i].strAppName)) + process;
    }
  }
  (void)::RmEndSession(session);
  return holders;
}
