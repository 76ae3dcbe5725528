// The archive's central directory over a block of memory: the end-record
// search, a cursor that walks the central headers in order, and the check of
// each entry's local header. Every read is bounds-checked against the block;
// offsets from the archive are 32-bit and are widened to 64 bits before any
// sum, so no crafted value can wrap around.
#pragma once

#include <cstdint>

#include "archive/zip_reader.h"
#include "archive/zip_reader_source.h"
#include "archive/zip_stream.h"

// Where the data and the local extra field of a checked entry lie, relative
// to the archive proper (add the prefix length to seek).
struct ZipLocalLayout {
  uint64_t dataOffset;
  uint64_t extraOffset;
  uint32_t extraLength;
};

class ZipDirectory {
 public:
  // Finds and checks the end record and puts the cursor on entry 0. Null
  // when the block holds no usable end record; a bad first central header
  // only leaves the cursor invalid.
  static ZipDirectory* Open(const uint8_t* data, uint32_t length);
  ~ZipDirectory();

  uint32_t EntryCount() const { return entryCount_; }
  uint32_t PrefixLength() const { return prefixLength_; }
  const MemorySource& Source() const { return source_; }

  // Moves the cursor to entry index (< EntryCount). A move backwards starts
  // again at entry 0. ZST_OK, or the status of the central header that could
  // not be read on the way; the cursor then stays invalid on that entry, so
  // later moves forward fail at once instead of walking on.
  int32_t MoveTo(uint32_t index);
  uint32_t CursorIndex() const { return cursorIndex_; }
  bool CursorValid() const { return cursorValid_; }
  const ZipCentralHeader& Header() const { return header_; }
  // The stored name of the entry under the cursor, NUL-terminated; null when
  // it is kZipNameSize bytes or longer (the entry cannot be handed out).
  const char* Name() const { return nameTooLong_ ? nullptr : name_; }

  // Checks the local header of the entry under the cursor against its
  // central header: ZST_OK, ZST_BAD_ARCHIVE or ZST_READ_ERROR.
  int32_t CheckLocalHeader(ZipLocalLayout* layout);

  // The entry stream of the entry under the cursor; opening closes the one
  // already open. The password may be null.
  int32_t OpenStream(const char* password);
  ZipEntryStream* Stream() { return stream_; }
  int32_t CloseStream();

 private:
  ZipDirectory(const uint8_t* data, uint32_t length) : source_(data, length) {}
  static bool FindEndRecord(const MemorySource& source, uint32_t* position);
  int32_t ReadHeader();
  int32_t First();
  int32_t Next();

  MemorySource source_;
  uint32_t entryCount_ = 0;
  uint32_t prefixLength_ = 0;
  uint32_t centralOffset_ = 0;
  uint32_t cursorIndex_ = 0;
  uint32_t cursorOffset_ = 0;
  bool cursorValid_ = false;
  ZipCentralHeader header_{};
  char name_[kZipNameSize] = {};
  bool nameTooLong_ = false;
  ZipEntryStream* stream_ = nullptr;
};
