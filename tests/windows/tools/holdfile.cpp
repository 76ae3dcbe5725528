// holdfile.exe FILE SECONDS READY [RELEASE]: holds FILE open with no
// sharing, as a running tool or a virus scanner does, and creates the file
// READY once the hold is in place. The hold ends after SECONDS (-1: never),
// or as soon as the file RELEASE exists; the program then closes FILE and
// exits 0. Exit status 1 when FILE cannot be opened. The names are read from
// the wide command line.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int main() {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (args == nullptr || count < 4) return 2;
  HANDLE held = ::CreateFileW(args[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE ready = ::CreateFileW(args[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) ::CloseHandle(ready);
  const long seconds = std::wcstol(args[2], nullptr, 10);
  for (const DWORD start = ::GetTickCount();; ::Sleep(50)) {
    if (seconds >= 0 && ::GetTickCount() - start >= static_cast<DWORD>(seconds) * 1000) break;
    if (count > 4 && ::GetFileAttributesW(args[4]) != INVALID_FILE_ATTRIBUTES) break;
  }
  ::CloseHandle(held);
  return 0;
}
