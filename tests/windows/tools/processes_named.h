// The IDs of the running processes whose executable is name (any case), for
// the test tools that look at a running program's windows.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <set>

inline std::set<DWORD> ProcessesNamed(const char* name) {
  std::set<DWORD> ids;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = ::Process32First(snapshot, &entry); ok; ok = ::Process32Next(snapshot, &entry)) {
    if (::lstrcmpiA(entry.szExeFile, name) == 0) ids.insert(entry.th32ProcessID);
  }
  ::CloseHandle(snapshot);
  return ids;
}
