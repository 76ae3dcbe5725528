// The sample payload's programs: kvClient.exe, kvUpdate.exe and
// kv_Uninstall.exe. Each records that it was started by appending its working
// folder and its command line, tab-separated, as one line to
// <exe name without .exe>.started.txt beside itself. The client then keeps
// running (a hidden window and a message loop) until it is closed or ended.
#include <windows.h>

#include <cstring>

namespace {

void RecordStart() {
  char path[MAX_PATH + 16];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char* dot = std::strrchr(path, '.');
  if (dot == nullptr) dot = path + length;
  std::strcpy(dot, ".started.txt");

  char folder[MAX_PATH] = "";
  (void)::GetCurrentDirectoryA(MAX_PATH, folder);  // empty when it does not fit
  const char* commandLine = ::GetCommandLineA();

  HANDLE file = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  (void)::WriteFile(file, folder, static_cast<DWORD>(std::strlen(folder)), &written, nullptr);
  (void)::WriteFile(file, "\t", 1, &written, nullptr);
  (void)::WriteFile(file, commandLine, static_cast<DWORD>(std::strlen(commandLine)), &written, nullptr);
  (void)::WriteFile(file, "\r\n", 2, &written, nullptr);
  ::CloseHandle(file);
}

#ifdef KV_SAMPLE_KEEPS_RUNNING
LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

int RunUntilEnded(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = ClientWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "kvClientSample";
  if (!::RegisterClassA(&windowClass)) return 1;
  // Never shown: it exists so that WM_CLOSE ends the client cleanly.
  HWND window = ::CreateWindowA("kvClientSample", "kvClient", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return 0;
}
#endif

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RecordStart();
#ifdef KV_SAMPLE_KEEPS_RUNNING
  return RunUntilEnded(instance);
#else
  (void)instance;
  return 0;
#endif
}
