// The installer runs elevated, often from a Downloads folder: no DLL may be
// taken from its own folder or the current one, where anybody could have put
// one. It imports directly only DLLs the system always takes from its own
// folder (the KnownDLLs, see cmake/KvSystemDlls.cmake) and delay-loads the
// rest with LoadSystemDll below (core/delay_load.cpp).
//
// The search is confined (and Windows' redirection guard turned on, where
// there is one) before anything else runs. The function below has
// constructor priority 101, the first a program may use: the C++ start-up
// runs every initialiser of priority 101 before those of any higher number
// and before those without one (every other static object), whatever their
// translation unit or link order. The only code
// before it is the C runtime's own start-up, which loads no DLL.
#include "core/dll_search.h"


namespace {

// Not declared by headers for Windows 7, and absent there without KB2533623.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

using SetProcessMitigationPolicyFn = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);

bool confined = false;

// Windows' redirection guard (Windows 11, and 10 22H2 with its later
// updates): the process no longer follows a junction that a
// non-administrator made, anywhere, so none planted on the way to a file it
// writes can carry the write elsewhere. Looked up by name: Windows 7 lacks
// the function, and Windows 8 to 10 before the guard refuse the policy and
// nothing changes, as under Wine.
void TrustOnlyAdministratorsLinks(HMODULE kernel) {
  const auto setPolicy = reinterpret_cast<SetProcessMitigationPolicyFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetProcessMitigationPolicy")));
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy = {};
  policy.EnforceRedirectionTrust = 1;
  if (setPolicy != nullptr) (void)setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

__attribute__((constructor(101))) void ConfineDllSearch() {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");  // loaded with the process
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  confined = setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without it, at least the current folder leaves the search order.
  if (!confined) (void)::SetDllDirectoryW(L"");
  TrustOnlyAdministratorsLinks(kernel);
}

}  // namespace

bool DllSearchConfined() { return confined; }

HMODULE LoadSystemDll(const char* name) {
  // By full path when the search is not confined, and its own imports looked
  // up from its folder first. The system folder is read wide: its name need
  // not fit the system's code page.
  if (name == nullptr || *name == '\0') return nullptr;
  wchar_t path[MAX_PATH];
  UINT length = 0;
  if (!confined) {
    length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 >= MAX_PATH) return nullptr;
    path[length++] = L'\\';
  }
  // DLL names are plain ASCII; anything else is no system DLL of ours.
  for (const char* p = name; p != nullptr && *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80 || length + 1 >= MAX_PATH) return nullptr;
    path[length++] = static_cast<wchar_t>(*p);
  }
  path[length] = L'\0';
  if (confined) return ::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

const char* MissingWindowDll(DWORD* error) {
  // Loaded for good: the windows' first calls find them in place.
  static const char* const kWindowDlls[] = {"comctl32.dll", "gdiplus.dll", "msimg32.dll"};
  for (const char* name : kWindowDlls) {
    if (LoadSystemDll(name) == nullptr) {
      if (error != nullptr) *error = ::GetLastError();
      return name;
    }
  }
  return nullptr;
}
