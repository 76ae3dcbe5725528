#include "core/process.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstring>

#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/wide.h"
#include "core/desktop_shell.h"
#include "core/install_step.h"

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

  // The wide entries: the narrow ones carry the names in the system's code
  // page, which is not GBK everywhere.
  PROCESSENTRY32W entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  std::string exeName;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    // Whole names, case-sensitive, in GBK. Equality of two code page 936
    // strings is equality of their bytes, so a byte comparison is the
    // multi-byte one. A name GBK cannot hold is no installed program's.
    if (Utf16ToGbk(reinterpret_cast<const char16_t*>(entry.szExeFile), &exeName) && exeName == name) {
      return entry.th32ProcessID;
    }
  }
  return 0;
}

namespace {

// Whether a process of this ID is in a fresh snapshot.
bool IsListed(DWORD processId) {
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == processId) return true;
  }
  return false;
}

}  // namespace

ProcessEnding EndProcessAndWait(DWORD processId, DWORD* error) {
  *error = 0;
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (process) {
    if (!::TerminateProcess(process.get(), 0)) {
      *error = ::GetLastError();
      return ProcessEnding::NotTerminated;
    }
    *error = ::WaitForSingleObject(process.get(), kEndWaitMs);  // WAIT_TIMEOUT when it has not gone
    return *error == WAIT_OBJECT_0 ? ProcessEnding::Ended : ProcessEnding::NotGone;
  }
  // A process whose security grants termination but not waiting (one
  // started under another account, or that tightened its own DACL) is still
  // ended; then the snapshot tells, for as long, when it has gone.
  process.reset(::OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (!process) {
    *error = ::GetLastError();
    return ProcessEnding::NotOpened;
  }
  if (!::TerminateProcess(process.get(), 0)) {
    *error = ::GetLastError();
    return ProcessEnding::NotTerminated;
  }
  const DWORD start = ::GetTickCount();
  while (IsListed(processId) && ::GetTickCount() - start < kEndWaitMs) ::Sleep(50);
  if (!IsListed(processId)) return ProcessEnding::Ended;
  *error = WAIT_TIMEOUT;
  return ProcessEnding::NotGone;
}

void StartUpdater(const std::string& installDir) {
  // Once: the shell's answers are waited for with the window's messages
  // flowing, and a progress tick or a click meanwhile must not start another.
  static bool started = false;
  if (started) return;
  started = true;
  std::u16string folder, updater;
  if (!GbkToUtf16(installDir, &folder) || !GbkToUtf16(installDir + "\\" + kUpdaterExe, &updater)) return;
  // Started by the installer itself, it would inherit the installer's
  // elevated token: the desktop's shell starts it as the user, wherever it
  // can be reached. Otherwise it is started as ever.
  if (MayRunElevated() && StartFromDesktopShell(WStr(updater), WStr(folder), SW_SHOW)) return;
  (void)::ShellExecuteW(nullptr, L"open", WStr(updater), nullptr, WStr(folder), SW_SHOW);
}
