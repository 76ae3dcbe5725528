// One entry's data as a stream: stored bytes are copied, deflated bytes are
// inflated straight into the caller's buffer, LZMA bytes are decoded through
// the decoder's window (zip_lzma.h), and the running CRC-32 covers
// exactly the bytes handed out. Input is taken in chunks of at most 16,384
// bytes, read in place from the block; only an encrypted entry needs its own
// input buffer, where each chunk is decrypted.
#pragma once

#include <zlib.h>

#include <cstdint>

#include "archive/zip_reader_source.h"

class ZipLzmaDecoder;

class ZipEntryStream {
 public:
  static constexpr uint32_t kInputSize = 16384;

  // Opens the stream of the entry whose central header is given and whose
  // data starts at dataOffset (relative to the archive proper). Returns
  // ZST_OK with *out set, or ZST_NO_MEMORY.
  static int32_t Open(const MemorySource* source, uint32_t prefixLength,
                      const ZipCentralHeader& header, uint64_t dataOffset,
                      const char* password, ZipEntryStream** out);
  ~ZipEntryStream();
  ZipEntryStream(const ZipEntryStream&) = delete;
  ZipEntryStream& operator=(const ZipEntryStream&) = delete;

  // Up to capacity bytes into buffer: the count, or a negative status. *end
  // is set by the read that completes the entry, once the entry has proved
  // whole: the deflate or LZMA stream ends exactly at the declared size and the
  // CRC-32 matches. A failure is sticky: every later read returns it again.
  int32_t Read(uint8_t* buffer, uint32_t capacity, bool* end);
  // ZST_CRC_MISMATCH or ZST_BAD_DATA when the entry has been found to
  // disagree with its directory record, else ZST_OK.
  int32_t Close();

 private:
  ZipEntryStream() = default;
  int32_t Fill();
  int32_t SkipEncryptionHeader();
  int32_t Inflate(uint8_t* out, uint32_t room, uint32_t* produced);
  int32_t Finish();
  int32_t Fail(int32_t status) { failed_ = status; return status; }
  uint8_t DecryptByte(uint8_t c);

  const MemorySource* source_ = nullptr;
  uint64_t readOffset_ = 0;     // next compressed byte in the block, prefix included
  uint32_t compressedLeft_ = 0;
  uint32_t uncompressedLeft_ = 0;
  uint32_t crc_ = 0;
  uint32_t expectedCrc_ = 0;
  uint32_t method_ = 0;
  const uint8_t* in_ = nullptr;  // pending input
  uint32_t inLeft_ = 0;
  uint8_t* inputBuffer_ = nullptr;  // encrypted entries only
  z_stream zstream_{};
  bool inflateReady_ = false;
  ZipLzmaDecoder* lzma_ = nullptr;  // method 14 only
  bool streamEnded_ = false;  // inflate reported Z_STREAM_END
  bool finished_ = false;     // the whole entry was delivered and checked
  int32_t failed_ = 0;
  bool encrypted_ = false;
  uint32_t keys_[3] = {};
  uint32_t headerLeft_ = 0;   // encryption-header bytes still to skip
  uint8_t checkByte_ = 0;
  uint8_t lastHeaderByte_ = 0;
};
