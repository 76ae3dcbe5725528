// winmsg.exe NAME close [WHEN [LATER]] | NAME query | NAME endsession: speaks to the installer's main window (the
// top-level window, shown or hidden, marked with the installer's window
// property) of a process whose executable is NAME, as the system would. It
// waits up to 30 s for the window, then prints "key \t value" lines:
//   close   posts WM_CLOSE (what taskkill without /F sends); with WHEN, the
//           moment the file WHEN exists (polled every millisecond, up to
//           60 s), so that the close lands inside a short stretch of work;
//           with LATER, then prints "later \t 1" when the file LATER
//           already exists, else "later \t 0"
//   query   sends WM_QUERYENDSESSION, as a logoff asks:
//             answer  the window's answer, 1 (may end) or 0 (refused)
//             reason  the session-end block reason the window has set, in
//                     GBK, or "(none)"; "(unknown)" where the system cannot
//                     tell it (ShutdownBlockReasonQuery missing, as in Wine 8)
//   endsession  sends WM_ENDSESSION (TRUE, a logoff): the session ends
//               whatever the window said
// Exit status 0, or 1 when no such window appeared or it did not answer.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "processes_named.h"

namespace {

struct Search {
  std::set<DWORD> ids;
  HWND found = nullptr;
};

BOOL CALLBACK OnTopLevel(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (search->ids.count(pid) == 0 || ::GetPropA(window, "Kelvane.kvsetup") == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

void PrintReason(HWND window) {
  using Query = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "ShutdownBlockReasonQuery")));
  if (query == nullptr) {
    std::printf("reason\t(unknown)\n");
    return;
  }
  WCHAR reason[256] = {};
  DWORD size = 256;
  char text[512] = {};
  if (!query(window, reason, &size) ||
      ::WideCharToMultiByte(936, 0, reason, -1, text, sizeof text, nullptr, nullptr) == 0) {
    std::strcpy(text, "(none)");
  }
  std::printf("reason\t%s\n", text);
}

// Whether the file named by argument index exists. The names are read from
// the wide command line: the narrow argv would hold them in the system's code
// page.
bool FileExists(int index) {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  const bool exists = args != nullptr && index < count && ::GetFileAttributesW(args[index]) != INVALID_FILE_ATTRIBUTES;
  ::LocalFree(args);
  return exists;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HWND window = nullptr;
  for (DWORD start = ::GetTickCount(); window == nullptr && ::GetTickCount() - start < 30000; ::Sleep(100)) {
    Search search;
    search.ids = ProcessesNamed(argv[1]);
    ::EnumWindows(OnTopLevel, reinterpret_cast<LPARAM>(&search));
    window = search.found;
  }
  if (window == nullptr) return 1;
  if (std::strcmp(argv[2], "close") == 0) {
    if (argc > 3) {
      for (DWORD start = ::GetTickCount(); !FileExists(3); ::Sleep(1)) {
        if (::GetTickCount() - start > 60000) return 1;
      }
    }
    if (!::PostMessageA(window, WM_CLOSE, 0, 0)) return 1;
    if (argc > 4) std::printf("later\t%d\n", FileExists(4) ? 1 : 0);
    return 0;
  }
  DWORD_PTR answer = 0;
  if (std::strcmp(argv[2], "endsession") == 0) {
    (void)::SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &answer);
    return 0;
  }
  if (!::SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer)) return 1;
  std::printf("answer\t%d\n", answer ? 1 : 0);
  PrintReason(window);
  return 0;
}
