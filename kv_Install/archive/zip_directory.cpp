#include "archive/zip_directory.h"

#include <cstring>
#include <new>

namespace {

constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kEndSearchWindow = 65535;
constexpr uint32_t kEndSearchStep = 1024;
constexpr uint32_t kCentralFixedSize = 46;
constexpr uint32_t kLocalFixedSize = 30;

}  // namespace

bool MemorySource::Read(void* out, uint32_t n) {
  const uint32_t available = length_ - position_;
  const uint32_t count = n < available ? n : available;
  if (count > 0) std::memcpy(out, data_ + position_, count);
  position_ += count;
  return count == n;
}

bool MemorySource::ReadU16(uint32_t* value) {
  uint8_t b[2];
  if (!Read(b, 2)) return false;
  *value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8;
  return true;
}

bool MemorySource::ReadU32(uint32_t* value) {
  uint8_t b[4];
  if (!Read(b, 4)) return false;
  *value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return true;
}

// The last end-record signature within the final 65,535 bytes, searched
// backwards in chunks of 1,028 bytes that overlap by 4, so a signature that
// straddles two chunks is still seen.
bool ZipDirectory::FindEndRecord(const MemorySource& source, uint32_t* position) {
  const uint32_t length = source.Length();
  const uint32_t window = length < kEndSearchWindow ? length : kEndSearchWindow;
  if (window <= 4) return false;
  uint32_t back = 4;
  while (back < window) {
    back = back + kEndSearchStep < window ? back + kEndSearchStep : window;
    const uint32_t start = length - back;
    const uint32_t chunkLength = back < kEndSearchStep + 4 ? back : kEndSearchStep + 4;
    const uint8_t* chunk = source.View(start, chunkLength);
    if (chunk == nullptr) return false;
    for (uint32_t i = chunkLength - 4 + 1; i-- > 0;) {
      if (chunk[i] == 0x50 && chunk[i + 1] == 0x4B && chunk[i + 2] == 0x05 && chunk[i + 3] == 0x06) {
        *position = start + i;
        return true;
      }
    }
  }
  return false;
}

ZipDirectory* ZipDirectory::Open(const uint8_t* data, uint32_t length) {
  if (data == nullptr) length = 0;
  ZipDirectory* dir = new (std::nothrow) ZipDirectory(data, length);
  if (dir == nullptr) return nullptr;
  uint32_t endPosition = 0;
  uint32_t signature = 0, disk = 0, centralDisk = 0, entriesHere = 0, entries = 0, centralSize = 0, centralOffset = 0,
           commentLength = 0;
  MemorySource& src = dir->source_;
  const bool read = FindEndRecord(src, &endPosition) && src.Seek(endPosition) && src.ReadU32(&signature) &&
                    src.ReadU16(&disk) && src.ReadU16(&centralDisk) && src.ReadU16(&entriesHere) &&
                    src.ReadU16(&entries) && src.ReadU32(&centralSize) && src.ReadU32(&centralOffset) &&
                    src.ReadU16(&commentLength);
  const uint64_t centralEnd = static_cast<uint64_t>(centralOffset) + centralSize;
  if (!read || entriesHere != entries || disk != 0 || centralDisk != 0 || endPosition < centralEnd) {
    delete dir;
    return nullptr;
  }
  dir->entryCount_ = entries;
  dir->centralOffset_ = centralOffset;
  dir->prefixLength_ = static_cast<uint32_t>(endPosition - centralEnd);
  (void)dir->First();  // a bad first header leaves the cursor invalid, not the open failed
  return dir;
}

ZipDirectory::~ZipDirectory() { CloseStream(); }

int32_t ZipDirectory::ReadHeader() {
  MemorySource& src = source_;
  ZipCentralHeader& h = header_;
  uint32_t signature;
  if (!src.Seek(static_cast<uint64_t>(cursorOffset_) + prefixLength_) || !src.ReadU32(&signature)) {
    return ZST_READ_ERROR;
  }
  if (signature != kCentralSignature) return ZST_BAD_ARCHIVE;
  uint32_t time, date;
  if (!(src.ReadU16(&h.versionMadeBy) && src.ReadU16(&h.versionNeeded) && src.ReadU16(&h.flags) &&
        src.ReadU16(&h.method) && src.ReadU16(&time) && src.ReadU16(&date) && src.ReadU32(&h.crc32) &&
        src.ReadU32(&h.compressedSize) && src.ReadU32(&h.uncompressedSize) && src.ReadU16(&h.nameLength) &&
        src.ReadU16(&h.extraLength) && src.ReadU16(&h.commentLength) && src.ReadU16(&h.diskStart) &&
        src.ReadU16(&h.internalAttributes) && src.ReadU32(&h.externalAttributes) &&
        src.ReadU32(&h.localHeaderOffset))) {
    return ZST_READ_ERROR;
  }
  h.dosDateTime = date << 16 | time;
  // A name that does not fit the record with its NUL is not read at all: the
  // entry is refused when it is handed out, and the cursor can still pass it.
  nameTooLong_ = h.nameLength >= static_cast<uint32_t>(kZipNameSize);
  name_[0] = '\0';
  if (!nameTooLong_) {
    if (!src.Read(name_, h.nameLength)) return ZST_READ_ERROR;
    name_[h.nameLength] = '\0';
  }
  return ZST_OK;
}

int32_t ZipDirectory::First() {
  cursorIndex_ = 0;
  cursorOffset_ = centralOffset_;
  const int32_t status = ReadHeader();
  cursorValid_ = status == ZST_OK;
  return status;
}

int32_t ZipDirectory::Next() {
  if (!cursorValid_) return ZST_BAD_PARAM;
  if (cursorIndex_ + 1 >= entryCount_) return ZST_BAD_PARAM;
  const uint64_t next = static_cast<uint64_t>(cursorOffset_) + kCentralFixedSize + header_.nameLength +
                        header_.extraLength + header_.commentLength;
  ++cursorIndex_;
  if (next > UINT32_MAX) {
    cursorValid_ = false;
    return ZST_READ_ERROR;
  }
  cursorOffset_ = static_cast<uint32_t>(next);
  const int32_t status = ReadHeader();
  cursorValid_ = status == ZST_OK;
  return status;
}

int32_t ZipDirectory::MoveTo(uint32_t index) {
  if (index >= entryCount_) return ZST_BAD_PARAM;
  if (index < cursorIndex_) {
    const int32_t status = First();
    if (status != ZST_OK) return status;
  }
  // An invalid cursor cannot step: the header it stands on cannot be read,
  // and neither can any entry after it.
  if (!cursorValid_) return ZST_BAD_ARCHIVE;
  while (cursorIndex_ < index) {
    const int32_t status = Next();
    if (status != ZST_OK) return status;
  }
  return ZST_OK;
}

int32_t ZipDirectory::CheckLocalHeader(ZipLocalLayout* layout) {
  if (!cursorValid_) return ZST_BAD_PARAM;
  const ZipCentralHeader& h = header_;
  MemorySource& src = source_;
  uint32_t signature, versionNeeded, flags, method, dosDateTime, crc, compressedSize, uncompressedSize,
      nameLength, extraLength;
  if (!src.Seek(static_cast<uint64_t>(h.localHeaderOffset) + prefixLength_) || !src.ReadU32(&signature)) {
    return ZST_READ_ERROR;
  }
  if (signature != kLocalSignature) return ZST_BAD_ARCHIVE;
  if (!src.ReadU16(&versionNeeded) || !src.ReadU16(&flags) || !src.ReadU16(&method)) return ZST_READ_ERROR;
  if (method != h.method || (method != 0 && method != 8 && method != 14)) return ZST_BAD_ARCHIVE;
  if (!src.ReadU32(&dosDateTime) || !src.ReadU32(&crc) || !src.ReadU32(&compressedSize) ||
      !src.ReadU32(&uncompressedSize)) {
    return ZST_READ_ERROR;
  }
  if ((flags & 8) == 0 &&
      (crc != h.crc32 || compressedSize != h.compressedSize || uncompressedSize != h.uncompressedSize)) {
    return ZST_BAD_ARCHIVE;
  }
  if (!src.ReadU16(&nameLength)) return ZST_READ_ERROR;
  if (nameLength != h.nameLength) return ZST_BAD_ARCHIVE;
  if (!src.ReadU16(&extraLength)) return ZST_READ_ERROR;
  layout->extraOffset = static_cast<uint64_t>(h.localHeaderOffset) + kLocalFixedSize + nameLength;
  layout->extraLength = extraLength;
  layout->dataOffset = layout->extraOffset + extraLength;
  return ZST_OK;
}

int32_t ZipDirectory::OpenStream(const char* password) {
  if (!cursorValid_) return ZST_BAD_PARAM;
  CloseStream();
  ZipLocalLayout layout;
  if (CheckLocalHeader(&layout) != ZST_OK) return ZST_BAD_ARCHIVE;
  return ZipEntryStream::Open(&source_, prefixLength_, header_, layout.dataOffset, password, &stream_);
}

int32_t ZipDirectory::CloseStream() {
  if (stream_ == nullptr) return ZST_BAD_PARAM;
  const int32_t status = stream_->Close();
  delete stream_;
  stream_ = nullptr;
  return status;
}
