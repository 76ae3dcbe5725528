// winmsg.exe NAME close [WHEN [LATER]] | NAME query | NAME endsession | NAME type TEXT: speaks to the installer's main window (the
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
//   type    enters TEXT into the control that has the keyboard focus in
//           the window's thread, as an input method does: one WM_CHAR per
//           UTF-16 unit, each only once the one before shows in the
//           control's text (xdotool's way, a key remapped for a moment,
//           lost characters under load)
// Exit status 0, or 1 when no such window appeared or it did not answer.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

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

// The wide command line's argument index, or empty.
std::wstring Argument(int index) {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::wstring argument = args != nullptr && index < count ? args[index] : L"";
  ::LocalFree(args);
  return argument;
}

std::wstring TextOf(HWND control) {
  wchar_t text[1024] = {};
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &length)) {
    return L"";
  }
  return text;
}

// Types text into the focused control of window's thread; false when a
// character does not show within 5 s.
bool Type(HWND window, const std::wstring& text) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) || info.hwndFocus == nullptr) return false;
  const std::wstring before = TextOf(info.hwndFocus);
  for (size_t i = 0; i < text.size(); ++i) {
    if (!::PostMessageW(info.hwndFocus, WM_CHAR, text[i], 1)) return false;
    const std::wstring expected = text.substr(0, i + 1);
    bool shown = false;
    for (DWORD start = ::GetTickCount(); !shown && ::GetTickCount() - start < 5000; ::Sleep(20)) {
      const std::wstring now = TextOf(info.hwndFocus);
      shown = now.size() >= before.size() + expected.size() && now.find(expected, before.size()) != std::wstring::npos;
    }
    if (!shown) return false;
  }
  return true;
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
  if (std::strcmp(argv[2], "type") == 0) return Type(window, Argument(3)) ? 0 : 1;
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
