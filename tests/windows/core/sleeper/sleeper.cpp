// Stand-in for the installed client in tests: a windowless program that does
// nothing until it is ended. Copied under the client's names (kvClient.exe,
// KVCLIENT.EXE, ...) to exercise the running-client lookup.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ::Sleep(INFINITE);
  return 0;
}
