#include "core/process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

#include "framework/handles.h"

namespace {

// How long to wait for an ended process to go away. Termination is
// asynchronous: until the process is gone its executable stays locked and
// the unpacking that follows could not replace it.
const DWORD kEndWaitMs = 5000;

}  // namespace

DWORD FindProcessByExeName(const char* name) {
  if (name == nullptr) return 0;

  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;

  PROCESSENTRY32 entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
    // Whole names, case-sensitive. Equality of two code page 936 strings is
    // equality of their bytes, so a byte comparison is the multi-byte one.
    if (std::strcmp(entry.szExeFile, name) == 0) return entry.th32ProcessID;
  }
  return 0;
}

void EndProcessAndWait(DWORD processId) {
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (!process) return;
  // Failures (already gone, access denied) are ignored: the install goes on.
  (void)::TerminateProcess(process.get(), 0);
  (void)::WaitForSingleObject(process.get(), kEndWaitMs);
}
