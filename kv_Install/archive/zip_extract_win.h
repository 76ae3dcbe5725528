// Writing one file entry into a folder the caller holds open: the Windows
// side of the unpacking, for callers that have proved the folder (the
// installer's loop, archive/payload.cpp) and must not name it again by path.
#pragma once

#include <windows.h>

#include <cstdint>

#include "archive/zip_reader.h"

// Writes file entry index as name (GBK, one name, no separator) in folder,
// a handle with FILE_TRAVERSE: the data to a new temporary file
// "~kvXXXX.tmp" made in folder, which once whole takes name, replacing what
// is there, and then the entry's attributes. Every step goes through the
// folder's handle (archive/handle_files_win.h). A read-only file at name is
// refused before any work; a file another program holds is waited for as
// ZipExtractEntryWaiting says, shownPath naming it to the waiter. On failure
// nothing new stays in folder and the system's error is the last error.
// *bytes (when given) is the file's size once in place.
uint32_t ZipExtractFileIn(ZipHandle* handle, int32_t index, HANDLE folder, const char* name, const char* shownPath,
                          ZipHeldFileWaiter* waiter, uint32_t* heldMs, uint64_t* bytes);

// ZipRemoveTempFiles for a folder the caller holds open, with
// FILE_LIST_DIRECTORY: each "~kvXXXX.tmp" deleted by name in it.
int ZipRemoveTempFilesIn(HANDLE folder);
