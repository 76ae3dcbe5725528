/* A DLL to plant beside the installer under the name of a DLL it uses: when
   anything loads it, it leaves "<its own path>.loaded" beside itself. It
   exports GetAdaptersInfo, so that a program importing IPHLPAPI normally
   starts with it in place of the system's. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcatA(path, ".loaded");
      HANDLE mark = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
      if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    }
  }
  return TRUE;
}

DWORD WINAPI GetAdaptersInfo(void* info, ULONG* size) {
  (void)info;
  (void)size;
  return ERROR_NOT_SUPPORTED;
}
