// winready.exe [SECONDS]: waits until this Wine session can make a window.
// The first window of a new session waits for the session's desktop
// (explorer.exe /desktop), which Wine starts on demand and gives 10 s; on a
// loaded machine it can take longer, and the window is refused. The test
// harness runs this before a test's own clock starts. It makes a shown
// top-level window, and tries again every 500 ms while it is refused, up to
// SECONDS (default 120). One line each on standard output:
//   retry   after each refusal: ms since the start, and the system error
//   ready   ms from the start to the first window, and how many refusals
// Exit status 0 when a window was made, 1 when none could be in time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const DWORD limitMs = 1000u * static_cast<DWORD>(argc > 1 ? std::atoi(argv[1]) : 120);
  const DWORD start = ::GetTickCount();
  int refusals = 0;
  for (;;) {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"winready", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 50,
                                    nullptr, nullptr, nullptr, nullptr);
    const DWORD elapsed = ::GetTickCount() - start;
    if (window != nullptr) {
      // Let the window reach the display before it goes.
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      ::DestroyWindow(window);
      std::printf("ready\t%lu\t%d\n", elapsed, refusals);
      return 0;
    }
    ++refusals;
    std::printf("retry\t%lu\t%lu\n", elapsed, ::GetLastError());
    std::fflush(stdout);
    if (elapsed >= limitMs) return 1;
    ::Sleep(500);
  }
}
