// The client's files, carried as resource "ZIP" IDR_PAYLOAD_ZIP of the installer itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/payload_result.h"
#include "archive/zip_reader.h"

// One entry as unpacking dealt with it.
struct UnpackedEntry {
  int32_t index = 0;
  const char* name = "";        // cleaned name (empty when the get failed)
  const char* target = "";      // where it went: folder + "\" + name (empty when it could not be formed)
  bool folder = false;          // a folder entry
  uint32_t result = ZRES_OK;    // ZRES_OK or the failure
  unsigned long systemError = 0;  // the system's error at the failure
  uint64_t bytes = 0;           // a file's size on disk once in place
  uint32_t heldMs = 0;          // how long a file another program held was waited for
  bool kept = false;            // already in place as the payload has it: not written again
};

// Told of each entry as unpacking goes, and asked what to do about a file
// another program holds: by default, after one round of waits, it is left as
// it was (ZRES_FILE_HELD) and unpacking goes on with the rest.
class UnpackObserver : public ZipHeldFileWaiter {
 public:
  virtual void EntryDone(const UnpackedEntry& entry) = 0;
  bool WaitAgain(const char*, uint32_t) override { return false; }

 protected:
  ~UnpackObserver() = default;
};

// Unpacks every entry of the embedded archive into installDir, in directory
// order; an entry that fails does not stop the others. Without an observer a
// held file is not waited for.
PayloadResult UnpackPayload(const char* installDir, UnpackObserver* observer = nullptr);

// The installer's unpacking loop over an open archive: each entry goes to
// folder + "\" + its cleaned name. First it removes the temporary files an
// unpacking that was cut short left in the folders it writes files into.
// Shared with kvzip's extract command so that the tool writes exactly what
// the installer would.
PayloadResult UnpackArchive(ZipHandle* handle, const char* folder, UnpackObserver* observer = nullptr);

// The embedded archive, open; null when it cannot be. ZipClose it.
ZipHandle* OpenEmbeddedPayload();

// The longest path, in bytes, that unpacking an open archive (or the
// embedded one; 0 when it cannot be opened) writes below the installation
// folder: each entry's cleaned name, or its folder part with the temporary
// name a file is written under first, when that is longer. It must fit
// below the folder in a path buffer.
size_t LongestEntryPath(ZipHandle* handle);
size_t LongestPayloadEntryPath();
