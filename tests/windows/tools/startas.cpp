// startas.exe PROGRAM COMMANDLINE: starts PROGRAM with exactly COMMANDLINE as
// its command line (CreateProcessW with both), which a shell or Wine's own
// start would quote: a launcher that leaves a path with blanks unquoted.
// Waits for it and exits with its exit status; 1 when it cannot start.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3) {
    std::fprintf(stderr, "usage: startas.exe PROGRAM COMMANDLINE\n");
    return 1;
  }
  std::wstring commandLine = argv[2];  // CreateProcessW may write into it
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessW(argv[1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    std::fprintf(stderr, "startas: CreateProcessW failed, system error %lu\n", ::GetLastError());
    return 1;
  }
  ::CloseHandle(started.hThread);
  (void)::WaitForSingleObject(started.hProcess, INFINITE);
  DWORD status = 1;
  (void)::GetExitCodeProcess(started.hProcess, &status);
  return static_cast<int>(status);
}
