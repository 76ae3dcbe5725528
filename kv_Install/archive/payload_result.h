#pragma once

#include <cstdint>
#include <string>

// What unpacking the embedded payload achieved.
struct PayloadResult {
  bool opened = false;   // the archive was found and its directory could be read
  int entryCount = 0;    // entries in the archive's directory
  int failedCount = 0;   // entries that could not be written or verified
  uint64_t writtenBytes = 0;  // the size of the files this unpacking put in place
  int heldCount = 0;     // of the failed, files another program held, left as they were
  // The folders below the installation folder that were links, so that no
  // entry was written into them: each once, each line ended by '\n'.
  std::string linkedFolders = {};
  // The junction on the way to the installation folder that Windows'
  // redirection guard would not follow (system error 448), so that nothing
  // was written; empty when none.
  std::string untrustedJunction = {};

  bool Complete() const { return opened && failedCount == 0; }
  // Every entry not written was held by another program: nothing else failed.
  bool OnlyHeld() const { return opened && failedCount > 0 && failedCount == heldCount; }
};
