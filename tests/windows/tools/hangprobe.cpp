// hangprobe.exe [NAME [SECONDS]]: how long the main window of a running
// program leaves a message unanswered. The main window is the first visible
// top-level window without an owner of a process whose executable is NAME
// (default kvsetup.exe); it waits up to 30 s for one to appear. Then it sends
// WM_NULL with SendMessageTimeout every 20 ms, each time waiting as long as it
// takes, until the window is gone or SECONDS (default 180) have passed, and
// prints one "key \t value" line each:
//   window       the window's handle (hex), as soon as it is found
//   stall        for each wait longer than 100 ms, when it began (ms from
//                the first probe) and how long it was, as it ends
//   probes       messages answered (or timed out at the limit)
//   longest_ms   the longest wait for an answer
//   longest_at_ms when that wait began, counted from the first probe
//   total_ms     from the first probe to the end
//   ended        "window" (it went away) or "limit"
// Exit status 0, or 1 when no such window appeared.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "processes_named.h"

namespace {

constexpr DWORD kProbeIntervalMs = 20;
constexpr DWORD kFindWindowMs = 30000;
constexpr double kStallMs = 100;

struct Search {
  std::set<DWORD> ids;
  HWND found = nullptr;
};

BOOL CALLBACK OnTopLevel(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (search->ids.count(pid) == 0 || !::IsWindowVisible(window) || ::GetWindow(window, GW_OWNER) != nullptr) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindMainWindow(const char* name) {
  const DWORD start = ::GetTickCount();
  do {
    Search search;
    search.ids = ProcessesNamed(name);
    ::EnumWindows(OnTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    ::Sleep(100);
  } while (::GetTickCount() - start < kFindWindowMs);
  return nullptr;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : "kvsetup.exe";
  const double limitMs = 1000.0 * (argc > 2 ? std::atof(argv[2]) : 180.0);
  HWND window = FindMainWindow(name);
  if (window == nullptr) {
    std::fprintf(stderr, "hangprobe: no main window of %s\n", name);
    return 1;
  }
  // At once, so a caller can start what it measures once the probe runs.
  std::printf("window\t%p\n", static_cast<void*>(window));
  std::fflush(stdout);

  LARGE_INTEGER frequency, first, sent, answered;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&first);
  double longest = 0, longestAt = 0, elapsed = 0;
  unsigned long probes = 0;
  bool windowGone = false;
  while (elapsed < limitMs) {
    ::QueryPerformanceCounter(&sent);
    const double at = Milliseconds(first, sent, frequency);
    DWORD_PTR result = 0;
    // No SMTO_ABORTIFHUNG: a window the system deems hung is waited for too.
    const LRESULT ok = ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL,
                                             static_cast<UINT>(limitMs - at) + 1, &result);
    ::QueryPerformanceCounter(&answered);
    elapsed = Milliseconds(first, answered, frequency);
    // A window destroyed while the probe waited was closing, not busy: the
    // rest of that wait is the process's exit.
    if (!ok && !::IsWindow(window)) {
      windowGone = true;
      break;
    }
    ++probes;
    const double wait = Milliseconds(sent, answered, frequency);
    if (wait > longest) longest = wait, longestAt = at;
    if (wait > kStallMs) {
      std::printf("stall\t%.0f\t%.0f\n", at, wait);
      std::fflush(stdout);
    }
    if (wait < kProbeIntervalMs) ::Sleep(kProbeIntervalMs - static_cast<DWORD>(wait));
  }
  std::printf("probes\t%lu\nlongest_ms\t%.0f\nlongest_at_ms\t%.0f\ntotal_ms\t%.0f\nended\t%s\n", probes, longest,
              longestAt, elapsed, windowGone ? "window" : "limit");
  return 0;
}
