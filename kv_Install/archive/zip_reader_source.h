// The memory block under the reader and the central-header record: shared
// by the directory cursor and the entry streams.
#pragma once

#include <cstdint>

// The block being read. Not owned: the caller keeps it valid and unchanged.
class MemorySource {
 public:
  MemorySource(const uint8_t* data, uint32_t length) : data_(data), length_(length) {}

  uint32_t Length() const { return length_; }
  uint32_t Position() const { return position_; }

  // Fails (and leaves the position) when pos lies past the end of the block.
  bool Seek(uint64_t pos) {
    if (pos > length_) return false;
    position_ = static_cast<uint32_t>(pos);
    return true;
  }
  // Copies min(n, bytes left) and advances by that count; true only when all
  // n bytes were there. A failed read never stands for a value.
  bool Read(void* out, uint32_t n);
  bool ReadU16(uint32_t* value);
  bool ReadU32(uint32_t* value);
  // The n bytes at offset, in place, or null when they are not all inside.
  const uint8_t* View(uint64_t offset, uint64_t n) const {
    if (offset > length_ || n > length_ - offset) return nullptr;
    return data_ + offset;
  }

 private:
  const uint8_t* data_;
  uint32_t length_;
  uint32_t position_ = 0;
};

// A central header, each field widened to 32 bits.
struct ZipCentralHeader {
  uint32_t versionMadeBy;
  uint32_t versionNeeded;
  uint32_t flags;
  uint32_t method;
  uint32_t dosDateTime;  // time in the low 16 bits, date in the high 16 bits
  uint32_t crc32;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint32_t nameLength;
  uint32_t extraLength;
  uint32_t commentLength;
  uint32_t diskStart;
  uint32_t internalAttributes;
  uint32_t externalAttributes;
  uint32_t localHeaderOffset;
};
