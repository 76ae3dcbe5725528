// DLL loading confined to the system folder; see core/dll_search.cpp.
#pragma once

#include <windows.h>

// Whether the process's default DLL search had been confined to the system
// folder (SetDefaultDllDirectories) by the time this is asked. False on a
// system without that call (Windows 7 before KB2533623), where each
// delay-loaded DLL is still taken from the system folder by its full path.
bool DllSearchConfined();

// How the delay-load helper loads a DLL by name: from the system folder
// (null when it cannot be loaded from there, with the system's error).
HMODULE LoadSystemDll(const char* name);

// The first DLL the windows draw with (comctl32, gdiplus, msimg32) that
// cannot be loaded, with the system's error in *error; null when all three
// are loaded. Without them no window can be shown: each call into them
// would fail.
const char* MissingWindowDll(DWORD* error);
