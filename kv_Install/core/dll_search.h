// DLL loading confined to the system folder; see core/dll_search.cpp.
#pragma once

#include <windows.h>

// Whether the process's default DLL search had been confined to the system
// folder (SetDefaultDllDirectories) by the time this is asked. False on a
// system without that call (Windows 7 before KB2533623), where each
// delay-loaded DLL is still taken from the system folder by its full path.
bool DllSearchConfined();

// What the delay-load helper calls before it loads a DLL by name: the DLL
// from the system folder (null when it cannot be loaded from there).
HMODULE LoadSystemDll(const char* name);
