// Names Windows does not read as plain files: a component that is a DOS
// device (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CONIN$, CONOUT$) opens
// the device, and a ':' names an NTFS stream of some other file. Writing such
// an entry would report success and leave no file. Plain C++, used by the
// extraction and by kvzip check.
#pragma once

#include <cstddef>

// True when the component (length bytes, no separator) is a device name: what
// stands before its first '.', with trailing spaces and dots dropped, is one
// of the names above in any case ("aux.dat", "Con .txt", "nul").
bool IsDosDeviceName(const char* component, size_t length);

// Why a path cannot be written as the file it names, or null when it can:
// "device name" or "':' in name". A leading drive ("C:") is allowed; the
// components are split at '\' and '/' characters of code page 936.
const char* UnsafePathReason(const char* path);

// Why kvzip check refuses a stored name besides the above, or null: a
// component ending in '.' or ' ' (Windows drops those and writes another
// name).
const char* TrailingDotOrSpaceReason(const char* name);
