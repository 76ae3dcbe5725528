// Reads a ZIP archive that lies whole in memory, in place: entries are listed
// in central-directory order and inflated one at a time. Plain C++ over zlib;
// the few platform facts it needs (local time, current folder) come through
// zip_platform.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/held_wait.h"

// Result codes of the handle operations (extraction uses the same set).
constexpr uint32_t ZRES_OK = 0;
constexpr uint32_t ZRES_CANNOT_OPEN = 0x200;
constexpr uint32_t ZRES_WRITE_FAILED = 0x400;
constexpr uint32_t ZRES_BAD_HEADER = 0x700;
constexpr uint32_t ZRES_READ_FAILED = 0x800;
constexpr uint32_t ZRES_BAD_PASSWORD = 0x1000;
constexpr uint32_t ZRES_BAD_ARGUMENT = 0x10000;
constexpr uint32_t ZRES_WRONG_HANDLE = 0x80000;
constexpr uint32_t ZRES_DECOMPRESS_FAILED = 0x5000000;
// The entry's data disagrees with its directory record: CRC-32 differs, or
// the stream ends before, or runs past, the declared size.
constexpr uint32_t ZRES_BAD_DATA = 0x6000000;
// The entry's name is flagged as UTF-8 (general-purpose bit 11) but is not
// well-formed UTF-8, or holds a character that GBK cannot hold.
constexpr uint32_t ZRES_BAD_NAME = 0x7000000;
// Another program held the file the entry replaces for as long as extraction
// waited; the file stays as it was.
constexpr uint32_t ZRES_FILE_HELD = 0x8000000;
// A folder on the entry's path below the installation folder is a link (a
// junction, symbolic link or mount point): nothing is written through it.
constexpr uint32_t ZRES_LINK_IN_PATH = 0x9000000;

// Name of a result code ("ZRES_BAD_HEADER"), "ZRES_0x..." for unknown values.
const char* ZipResultName(uint32_t result);

// Layout-compatible with the Win32 FILETIME: 100 ns units since 1601-01-01 UTC.
struct ZipFileTime {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};

constexpr int kZipNameSize = 260;

struct ZipEntryInfo {
  int32_t index;               // position in the directory; the count for index -1
  char name[kZipNameSize];     // cleaned name in GBK, always NUL-terminated: bytes as
                               // stored, or converted from UTF-8 when flagged so
  uint32_t attributes;         // Win32 FILE_ATTRIBUTE_* bits
  ZipFileTime accessTime;
  ZipFileTime creationTime;
  ZipFileTime writeTime;
  int32_t compressedSize;
  int32_t uncompressedSize;
};

struct ZipHandle;

// Opens the archive at data (size bytes). The memory is read in place and
// must stay valid and unchanged until ZipClose. Null when it cannot be opened.
ZipHandle* ZipOpenMemory(const void* data, uint32_t size);

// Index -1: the count query. Otherwise the entry's record (cached per index).
uint32_t ZipGetEntry(ZipHandle* handle, int32_t index, ZipEntryInfo* info);

// The CRC-32 entry index's directory record gives its data (which its
// stream checks them against as it ends).
uint32_t ZipGetEntryCrc(ZipHandle* handle, int32_t index, uint32_t* crc);

// Writes entry index to target (a file, or a folder for a folder entry).
// Windows only. A file's data go first to a temporary file of
// kZipTempNameLength bytes' name in the target's folder.
uint32_t ZipExtractEntry(ZipHandle* handle, int32_t index, const char* target);

// Asked by extraction when the file it replaces is still held by another
// program after a round of waits: true waits another round. One waiter
// serves one run: its budget (held_wait.h) is shared by all the run's files.
class ZipHeldFileWaiter {
 public:
  virtual bool WaitAgain(const char* path, uint32_t systemError) = 0;
  RunHeldBudget& HeldBudget() { return budget_; }

 protected:
  ~ZipHeldFileWaiter() = default;

 private:
  RunHeldBudget budget_;
};

// As ZipExtractEntry, but a file another program holds (held_wait.h's
// IsHeldFile) is waited for: a round of growing pauses within the waiter's
// budget, then waiter->WaitAgain, until it is free
// (ZRES_OK) or given up (ZRES_FILE_HELD, the file as it was, the holder's
// system error kept). *heldMs (when given) is how long it waited. A null
// waiter waits for nothing, as ZipExtractEntry.
uint32_t ZipExtractEntryWaiting(ZipHandle* handle, int32_t index, const char* target, ZipHeldFileWaiter* waiter,
                                uint32_t* heldMs);
constexpr size_t kZipTempNameLength = 11;  // "~kvXXXX.tmp"

// Removes from folder the temporary files an extraction that was cut short
// left there: files named exactly "~kvXXXX.tmp" (four upper-case hexadecimal
// digits), nothing else. Windows only. The count removed.
int ZipRemoveTempFiles(const char* folder);

// Keys the traditional PKWARE decryption of encrypted entries for streams
// opened from now on; null clears it. The installer never sets one.
void ZipSetPassword(ZipHandle* handle, const char* password);

// Frees the handle and everything it owns (not the archive memory).
uint32_t ZipClose(ZipHandle* handle);

// Streaming access to one entry's data, for extraction and for tools that
// verify an archive without writing it. At most one entry is open at a time.
// Statuses are 0 for success and negative for failure: the ZST_* values, or
// a failure code of zlib's inflate passed through as it stands.
constexpr int32_t ZST_OK = 0;
constexpr int32_t ZST_READ_ERROR = -1;
constexpr int32_t ZST_BAD_PARAM = -102;
constexpr int32_t ZST_BAD_ARCHIVE = -103;
constexpr int32_t ZST_NO_MEMORY = -104;
constexpr int32_t ZST_CRC_MISMATCH = -105;
constexpr int32_t ZST_BAD_PASSWORD = -106;
constexpr int32_t ZST_BAD_DATA = -107;  // stream shorter or longer than declared
constexpr int32_t ZST_BAD_STREAM = -108;  // LZMA properties or data that cannot be decoded

// Moves to entry index and opens its stream.
int32_t ZipOpenEntry(ZipHandle* handle, int32_t index);
// Reads up to capacity bytes; the count (>= 0) or a negative status. *end is
// set once the whole entry has been delivered.
int32_t ZipReadEntry(ZipHandle* handle, void* buffer, uint32_t capacity, bool* end);
// Closes the open stream: ZST_CRC_MISMATCH / ZST_BAD_DATA when the data
// delivered disagrees with the directory record, else ZST_OK.
int32_t ZipCloseEntry(ZipHandle* handle);

// What extraction needs of the handle: the folder relative targets are
// resolved against (the current folder at open time, ending in a separator),
// and the 16,384-byte output buffer, allocated on first use and kept until
// ZipClose (null when it cannot be allocated).
constexpr uint32_t kZipBufferSize = 16384;
const char* ZipBaseFolder(ZipHandle* handle);
uint8_t* ZipOutputBuffer(ZipHandle* handle);

// Decodes entries ahead on worker threads from now until ZipClose, for a
// caller that reads them in directory order: an entry a worker decoded
// whole is then read from memory; any other is read as without. False
// (nothing changed) when the workers cannot be had.
bool ZipStartReadAhead(ZipHandle* handle);

// Reads entry index whole through the stream into nothing and checks it:
// ZRES_OK, ZRES_BAD_DATA, ZRES_DECOMPRESS_FAILED, ZRES_BAD_PASSWORD, or the
// get's result. Folder entries are OK when they hold no data.
uint32_t ZipVerifyEntry(ZipHandle* handle, int32_t index);
