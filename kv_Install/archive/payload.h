// The client's files, carried as resource "ZIP" IDR_PAYLOAD_ZIP of the installer itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/payload_result.h"

struct ZipHandle;

// Called for each entry that could not be read or written: its index, its
// cleaned name (empty when the get failed) and the result code. The thread's
// last system error is still the failure's.
using UnpackFailureFn = void (*)(int32_t index, const char* name, uint32_t result, void* context);

// Unpacks every entry of the embedded archive into installDir, in directory
// order; an entry that fails does not stop the others.
PayloadResult UnpackPayload(const char* installDir, UnpackFailureFn onFailure = nullptr, void* context = nullptr);

// The installer's unpacking loop over an open archive: each entry goes to
// folder + "\" + its cleaned name. First it removes the temporary files an
// unpacking that was cut short left in the folders it writes files into.
// Shared with kvzip's extract command so that the tool writes exactly what
// the installer would.
PayloadResult UnpackArchive(ZipHandle* handle, const char* folder, UnpackFailureFn onFailure = nullptr,
                            void* context = nullptr);

// The longest path, in bytes, that unpacking an open archive (or the
// embedded one; 0 when it cannot be opened) writes below the installation
// folder: each entry's cleaned name, or its folder part with the temporary
// name a file is written under first, when that is longer. It must fit
// below the folder in a path buffer.
size_t LongestEntryPath(ZipHandle* handle);
size_t LongestPayloadEntryPath();
