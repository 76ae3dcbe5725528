#include "archive/zip_stream.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "archive/zip_lzma.h"
#include "archive/zip_reader.h"
#include "archive/zip_reader_alloc.h"

namespace {

uint32_t Min32(uint64_t a, uint64_t b) { return static_cast<uint32_t>(a < b ? a : b); }

// One step of the traditional PKWARE cipher's CRC-32 key update.
uint32_t CrcStep(uint32_t crc, uint8_t c) {
  static const z_crc_t* table = get_crc_table();
  return static_cast<uint32_t>(table[(crc ^ c) & 0xFF]) ^ (crc >> 8);
}

void UpdateKeys(uint32_t keys[3], uint8_t c) {
  keys[0] = CrcStep(keys[0], c);
  keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
  keys[2] = CrcStep(keys[2], static_cast<uint8_t>(keys[1] >> 24));
}

}  // namespace

int32_t ZipEntryStream::Open(const MemorySource* source, uint32_t prefixLength,
                             const ZipCentralHeader& header, uint64_t dataOffset,
                             const char* password, ZipEntryStream** out) {
  *out = nullptr;
  ZipEntryStream* s = new (std::nothrow) ZipEntryStream;
  if (s == nullptr) return ZST_NO_MEMORY;
  s->source_ = source;
  s->readOffset_ = dataOffset + prefixLength;
  s->compressedLeft_ = header.compressedSize;
  s->uncompressedLeft_ = header.uncompressedSize;
  s->expectedCrc_ = header.crc32;
  s->method_ = header.method;
  s->encrypted_ = (header.flags & 1) != 0;
  if (s->encrypted_) {
    s->inputBuffer_ = new (std::nothrow) uint8_t[kInputSize];
    if (s->inputBuffer_ == nullptr) {
      delete s;
      return ZST_NO_MEMORY;
    }
    s->headerLeft_ = 12;
    s->keys_[0] = 0x12345678;
    s->keys_[1] = 0x23456789;
    s->keys_[2] = 0x34567890;
    for (const char* p = password ? password : ""; *p != '\0'; ++p) {
      UpdateKeys(s->keys_, static_cast<uint8_t>(*p));
    }
    s->checkByte_ = (header.flags & 8) ? static_cast<uint8_t>(header.dosDateTime >> 8)
                                       : static_cast<uint8_t>(header.crc32 >> 24);
  }
  // Stored data is its own size, plus the encryption header when encrypted:
  // sizes that disagree cannot both be right, so nothing is delivered.
  const uint64_t storedSize = static_cast<uint64_t>(header.uncompressedSize) + (s->encrypted_ ? 12 : 0);
  if (s->method_ == 0 && header.compressedSize != storedSize) s->failed_ = ZST_BAD_DATA;
  if (s->method_ == 8) {
    s->zstream_.zalloc = ZipZlibAlloc;
    s->zstream_.zfree = ZipZlibFree;
    // A failed initialisation leaves the stream open; its first inflate fails.
    s->inflateReady_ = inflateInit2(&s->zstream_, -MAX_WBITS) == Z_OK;
  }
  if (s->method_ == 14) {
    s->lzma_ = ZipLzmaDecoder::Create(header.uncompressedSize);
    if (s->lzma_ == nullptr) {
      delete s;
      return ZST_NO_MEMORY;
    }
  }
  *out = s;
  return ZST_OK;
}

ZipEntryStream::~ZipEntryStream() {
  if (inflateReady_) inflateEnd(&zstream_);
  delete lzma_;
  delete[] inputBuffer_;
}

uint8_t ZipEntryStream::DecryptByte(uint8_t c) {
  const uint32_t temp = (keys_[2] & 0xFFFF) | 2;
  const uint8_t plain = c ^ static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
  UpdateKeys(keys_, plain);
  return plain;
}

// Takes the next chunk of compressed input, in place or decrypted.
int32_t ZipEntryStream::Fill() {
  const uint32_t n = Min32(kInputSize, compressedLeft_);
  const uint8_t* chunk = source_->View(readOffset_, n);
  if (chunk == nullptr) return ZST_READ_ERROR;
  readOffset_ += n;
  compressedLeft_ -= n;
  if (encrypted_) {
    for (uint32_t i = 0; i < n; ++i) inputBuffer_[i] = DecryptByte(chunk[i]);
    chunk = inputBuffer_;
  }
  in_ = chunk;
  inLeft_ = n;
  return ZST_OK;
}

// The 12-byte encryption header counts against the compressed data only; its
// last byte checks the password.
int32_t ZipEntryStream::SkipEncryptionHeader() {
  while (headerLeft_ > 0) {
    if (inLeft_ == 0) {
      if (compressedLeft_ == 0) return ZST_READ_ERROR;
      const int32_t status = Fill();
      if (status != ZST_OK) return status;
    }
    const uint32_t n = Min32(headerLeft_, inLeft_);
    lastHeaderByte_ = in_[n - 1];
    in_ += n;
    inLeft_ -= n;
    headerLeft_ -= n;
  }
  return lastHeaderByte_ == checkByte_ ? ZST_OK : ZST_BAD_PASSWORD;
}

// One inflate call on the pending input into out (room > 0 bytes).
int32_t ZipEntryStream::Inflate(uint8_t* out, uint32_t room, uint32_t* produced) {
  *produced = 0;
  if (!inflateReady_) return Z_STREAM_ERROR;
  zstream_.next_in = const_cast<Bytef*>(in_);
  zstream_.avail_in = inLeft_;
  zstream_.next_out = out;
  zstream_.avail_out = room;
  const int ret = inflate(&zstream_, Z_SYNC_FLUSH);
  *produced = room - zstream_.avail_out;
  in_ += inLeft_ - zstream_.avail_in;
  inLeft_ = zstream_.avail_in;
  if (ret == Z_STREAM_END) streamEnded_ = true;
  if (ret == Z_OK || ret == Z_STREAM_END) return ZST_OK;
  // No progress with room to write: the compressed data ran out before the
  // deflate stream ended.
  if (ret == Z_BUF_ERROR) return ZST_BAD_DATA;
  return ret < 0 ? ret : ZST_BAD_DATA;
}

// Runs once the declared size has been delivered: the deflate stream must end
// there (a stream that would give one more byte is longer than declared), and
// the CRC-32 must match.
int32_t ZipEntryStream::Finish() {
  int32_t status = SkipEncryptionHeader();
  if (status != ZST_OK) return status;
  while (method_ == 8 && !streamEnded_) {
    if (inLeft_ == 0 && compressedLeft_ > 0) {
      status = Fill();
      if (status != ZST_OK) return status;
    }
    uint8_t spare;
    uint32_t produced;
    status = Inflate(&spare, 1, &produced);
    if (status != ZST_OK) return status;
    if (produced != 0) return ZST_BAD_DATA;
  }
  while (method_ == 14) {
    status = lzma_->End(&in_, &inLeft_, compressedLeft_ == 0);
    if (status != kZipLzmaMoreInput) {
      if (status != ZST_OK) return status;
      break;
    }
    status = Fill();
    if (status != ZST_OK) return status;
  }
  return crc_ == expectedCrc_ ? ZST_OK : ZST_CRC_MISMATCH;
}

int32_t ZipEntryStream::Read(uint8_t* buffer, uint32_t capacity, bool* end) {
  *end = false;
  if (failed_ != 0) return failed_;
  if (capacity == 0) return 0;
  if (capacity > INT32_MAX) capacity = INT32_MAX;  // the count must fit the result
  if (finished_) {
    *end = true;
    return 0;
  }
  uint32_t delivered = 0;
  while (uncompressedLeft_ > 0 && delivered < capacity) {
    if (inLeft_ == 0 && compressedLeft_ > 0) {
      const int32_t status = Fill();
      if (status != ZST_OK) return Fail(status);
    }
    if (headerLeft_ > 0) {
      const int32_t status = SkipEncryptionHeader();
      if (status != ZST_OK) return Fail(status);
      continue;
    }
    const uint32_t room = Min32(capacity - delivered, uncompressedLeft_);
    uint8_t* out = buffer + delivered;
    uint32_t produced;
    if (method_ == 8) {
      const int32_t status = Inflate(out, room, &produced);
      if (status != ZST_OK) return Fail(status);
      // Ended before the declared size: the entry is short.
      if (streamEnded_ && produced < uncompressedLeft_) return Fail(ZST_BAD_DATA);
    } else if (method_ == 14) {
      const int32_t status = lzma_->Decode(&in_, &inLeft_, compressedLeft_ == 0, out, room, &produced);
      if (status != ZST_OK) return Fail(status);
    } else {
      if (inLeft_ == 0) return Fail(ZST_READ_ERROR);  // stored data ran out
      produced = Min32(room, inLeft_);
      std::memcpy(out, in_, produced);
      in_ += produced;
      inLeft_ -= produced;
    }
    crc_ = static_cast<uint32_t>(crc32(crc_, out, produced));
    uncompressedLeft_ -= produced;
    delivered += produced;
  }
  if (uncompressedLeft_ == 0) {
    const int32_t status = Finish();
    if (status != ZST_OK) return Fail(status);
    finished_ = true;
    *end = true;
  }
  return static_cast<int32_t>(delivered);
}

int32_t ZipEntryStream::Close() {
  if (failed_ == 0 && !finished_ && uncompressedLeft_ == 0) {
    // An entry closed before its end was seen (an empty one never read).
    const int32_t status = Finish();
    if (status != ZST_OK) failed_ = status;
  }
  return failed_ == ZST_CRC_MISMATCH || failed_ == ZST_BAD_DATA ? failed_ : ZST_OK;
}
