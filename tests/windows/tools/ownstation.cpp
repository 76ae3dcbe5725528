// ownstation.exe PROGRAM [ARGS...]: runs PROGRAM on a window station of its
// own, as a service's programs run in session 0: a station made here without
// WSF_VISIBLE, with a desktop "Default" on it. The program inherits this
// one's standard handles and current folder. First prints
//   visible \t N \t M
// N: 1 when the station made here says it is visible, M: the same of the
// station this tool itself started on; then waits for the program and exits
// with its status. 100 when the station, its desktop or the program could
// not be made (the reason on standard error).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int Visible(HWINSTA station) {
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  if (!::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return -1;
  return (flags.dwFlags & WSF_VISIBLE) != 0 ? 1 : 0;
}

int Fail(const char* what) {
  std::fprintf(stderr, "ownstation: %s failed, system error %lu\n", what, ::GetLastError());
  return 100;
}

// Our command line less its first word: the program and its arguments as given.
std::wstring ProgramCommandLine() {
  const wchar_t* p = ::GetCommandLineW();
  bool quoted = false;
  for (; *p != L'\0' && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
    if (*p == L'"') quoted = !quoted;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int main() {
  std::wstring command = ProgramCommandLine();
  if (command.empty()) {
    std::fprintf(stderr, "usage: ownstation.exe PROGRAM [ARGS...]\n");
    return 100;
  }
  HWINSTA original = ::GetProcessWindowStation();
  HWINSTA station = ::CreateWindowStationW(L"kvOwnStation", 0, WINSTA_ALL_ACCESS, nullptr);
  if (station == nullptr) return Fail("CreateWindowStation");
  // A desktop is made on the process's own station: ours for a moment.
  if (!::SetProcessWindowStation(station)) return Fail("SetProcessWindowStation");
  HDESK desktop = ::CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  const DWORD desktopError = ::GetLastError();
  (void)::SetProcessWindowStation(original);
  if (desktop == nullptr) {
    ::SetLastError(desktopError);
    return Fail("CreateDesktop");
  }
  std::printf("visible\t%d\t%d\n", Visible(station), Visible(original));
  std::fflush(stdout);

  wchar_t desktopName[] = L"kvOwnStation\\Default";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.lpDesktop = desktopName;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    return Fail("CreateProcess");
  }
  ::CloseHandle(process.hThread);
  (void)::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 100;
  (void)::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hProcess);
  ::CloseDesktop(desktop);
  ::CloseWindowStation(station);
  return static_cast<int>(status);
}
