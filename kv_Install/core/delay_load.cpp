// The delay-load helper of kvsetup.exe, in place of the C runtime's: the
// thunks the import libraries of cmake/KvSystemDlls.cmake make call it the
// first time a function of a delay-loaded DLL is called.
//
// The runtime's helper loads a DLL our search did not find through the
// ordinary search order, and raises an exception (0xC06D007E, 0xC06D007F)
// when a DLL or a function cannot be had: nothing catches it, so the program
// would crash, after a complete install if the report's DLL is the one that
// fails. This one takes DLLs from the system folder only (LoadSystemDll) and
// raises nothing: a call it cannot resolve goes to the function's failure
// stand-in (kv_delay_stubs, made at link time by delay_import_keep.py), which
// returns the failure value the callers already check, with the loader's
// error left for GetLastError. Such a call is not remembered: the next one
// tries the DLL again.
#include <windows.h>

#include <cstdio>

#include "core/dll_search.h"
#include "core/error_lines.h"

// One failure stand-in: the DLL's name as the import library gives it, the
// function's name, and the stand-in itself.
struct KvDelayStub {
  const char* dll;
  const char* function;
  FARPROC stub;
};

// What the delay-load import libraries' descriptors hold, every address
// relative to the image's start.
struct KvDelayDescriptor {
  DWORD attributes;
  DWORD dllName;
  DWORD module;     // HMODULE slot
  DWORD addresses;  // the thunks' address table
  DWORD names;      // IMAGE_THUNK_DATA for each thunk, by name
  DWORD boundAddresses;
  DWORD unloadAddresses;
  DWORD timeStamp;
};

extern "C" {
extern IMAGE_DOS_HEADER __ImageBase;
extern const KvDelayStub kv_delay_stubs[];
FARPROC WINAPI __delayLoadHelper2(const KvDelayDescriptor* descriptor, FARPROC* slot);
}

namespace {

template <typename T>
T* AtRva(DWORD rva) {
  return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(&__ImageBase) + rva);
}

bool SameAsciiName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    const char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

FARPROC FailureStub(const char* dll, const char* function) {
  for (const KvDelayStub* s = kv_delay_stubs; s->dll != nullptr; ++s) {
    if (function != nullptr && SameAsciiName(s->dll, dll) && SameAsciiName(s->function, function)) return s->stub;
  }
  return nullptr;
}

}  // namespace

FARPROC WINAPI __delayLoadHelper2(const KvDelayDescriptor* descriptor, FARPROC* slot) {
  const char* dll = AtRva<const char>(descriptor->dllName);
  const size_t index = static_cast<size_t>(slot - AtRva<FARPROC>(descriptor->addresses));
  const IMAGE_THUNK_DATA& entry = AtRva<const IMAGE_THUNK_DATA>(descriptor->names)[index];
  // The import libraries name every function; an ordinal would be no function of ours.
  const char* function = IMAGE_SNAP_BY_ORDINAL(entry.u1.Ordinal)
                             ? nullptr
                             : reinterpret_cast<const char*>(AtRva<IMAGE_IMPORT_BY_NAME>(
                                                                 static_cast<DWORD>(entry.u1.AddressOfData))
                                                                 ->Name);

  auto* const moduleSlot = AtRva<HMODULE>(descriptor->module);
  HMODULE module = static_cast<HMODULE>(::InterlockedCompareExchangePointer(
      reinterpret_cast<void* volatile*>(moduleSlot), nullptr, nullptr));
  DWORD error = 0;
  if (module == nullptr) {
    module = LoadSystemDll(dll);
    if (module == nullptr) {
      error = ::GetLastError();
    } else if (void* first = ::InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(moduleSlot),
                                                                 module, nullptr)) {
      ::FreeLibrary(module);  // another thread loaded it first
      module = static_cast<HMODULE>(first);
    }
  }
  if (module != nullptr && function != nullptr) {
    if (FARPROC found = ::GetProcAddress(module, function)) {
      // One aligned pointer: every thread sees the old or the new one.
      ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(slot), reinterpret_cast<void*>(found));
      return found;
    }
    error = ::GetLastError();
  }
  const FARPROC stub = FailureStub(dll, function);
  // The build makes a stand-in for every function the program calls; a call
  // without one cannot go on with its arguments right.
  if (stub == nullptr) {
    char line[160];
    (void)std::snprintf(line, sizeof line, "%.40s of %.40s cannot be loaded (system error %lu) and has no stand-in",
                        function != nullptr ? function : "a function", dll, error);
    EndOnFault(line);
  }
  ::SetLastError(error != 0 ? error : ERROR_PROC_NOT_FOUND);
  return stub;
}
