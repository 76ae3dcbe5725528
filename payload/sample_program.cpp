// The sample payload's programs: kvClient.exe, kvUpdate.exe and
// kv_Uninstall.exe. Each records that it was started by appending its working
// folder, the file name of the program that started it ("explorer.exe" when
// the desktop's shell did; "?" when it is gone) and its command line,
// tab-separated, as one line to <exe name without .exe>.started.txt beside
// itself. The client then keeps running (a hidden window and a message loop)
// until it is closed or ended.
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

namespace {

// The executable file name of this process's parent, or "?".
void ParentName(char (&name)[MAX_PATH]) {
  std::strcpy(name, "?");
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  }
  for (BOOL more = ::Process32First(snapshot, &entry); more && parent != 0; more = ::Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == parent) std::strcpy(name, entry.szExeFile);
  }
  ::CloseHandle(snapshot);
}

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
  char parent[MAX_PATH];
  ParentName(parent);

  // One write, so that a reader never finds half a line.
  static char line[2 * MAX_PATH + 32 * 1024];
  const char* const parts[] = {folder, "\t", parent, "\t", commandLine, "\r\n"};
  size_t used = 0;
  for (const char* part : parts) {
    const size_t n = std::strlen(part);
    if (used + n > sizeof line) return;
    std::memcpy(line + used, part, n);
    used += n;
  }

  HANDLE file = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  (void)::WriteFile(file, line, static_cast<DWORD>(used), &written, nullptr);
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
