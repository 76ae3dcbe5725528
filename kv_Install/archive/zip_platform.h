// The platform facts the ZIP reader needs, behind small functions so the
// reader itself stays plain C++: Windows answers them with the system's
// calls, the native build with portable equivalents.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/zip_reader.h"

// DOS date (high 16 bits) and time (low 16 bits), read as local time, to UTC.
// False when the date is not a valid calendar date.
bool ZipDosTimeToFileTime(uint32_t dosDateTime, ZipFileTime* out);

// The process's current folder into buffer (size bytes), NUL-terminated.
void ZipCurrentFolder(char* buffer, size_t size);
