// The program's entry in the system's list of installed programs.
#pragma once

#include <cstdint>
#include <string>

// The key under HKEY_LOCAL_MACHINE.
extern const char kUninstallKey[];

// Stores data under name as REG_SZ in the Uninstall key of HKEY_LOCAL_MACHINE,
// creating the key when it cannot be opened. 1 when stored, else 0; a null or
// empty name or null data writes nothing.
int WriteUninstallValue(const char* name, const char* data);

// Stores data under name as REG_DWORD in the same key, the same way.
int WriteUninstallNumber(const char* name, uint32_t data);

// Removes name from the same key. 1 when it is not there afterwards (a
// missing key or value included), else 0; a null or empty name removes
// nothing and gives 0.
int DeleteUninstallValue(const char* name);

// The REG_SZ value name of the same key, as GBK. False, with text empty, when
// it is missing, of another type, or holds what GBK cannot.
bool ReadUninstallText(const char* name, std::string* text);
