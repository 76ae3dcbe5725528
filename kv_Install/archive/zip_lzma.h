// The data of an LZMA entry (ZIP method 14): a 2-byte encoder version, a
// 2-byte properties length (5), the 5 properties bytes, then the raw LZMA
// stream, with or without its end marker. Decoded with the LZMA SDK's
// decoder through a window of its own, copied out in the caller's pieces.
#pragma once

#include <cstdint>

// The most one entry may take: its window and the decoder's model. An entry
// that would need more fails before anything is allocated.
constexpr uint64_t kZipLzmaMemoryLimit = 64ull << 20;

// Returned by End when it must see more of the stream first.
constexpr int32_t kZipLzmaMoreInput = 1;

class ZipLzmaDecoder {
 public:
  // The decoder of an entry of uncompressedSize bytes; null without memory.
  // The window and the model come once the properties have been read.
  static ZipLzmaDecoder* Create(uint32_t uncompressedSize);
  ~ZipLzmaDecoder();
  ZipLzmaDecoder(const ZipLzmaDecoder&) = delete;
  ZipLzmaDecoder& operator=(const ZipLzmaDecoder&) = delete;

  // Takes input from *in (advancing it and *inLeft) and writes at most room
  // bytes to out, *produced of them. inputEnds: *in holds the last of the
  // entry's data. ZST_OK; ZST_BAD_STREAM for properties or data that cannot
  // be decoded; ZST_BAD_DATA when the stream ends before the room is filled
  // (the caller never asks past the declared size); ZST_NO_MEMORY when the
  // window would be over kZipLzmaMemoryLimit or cannot be had.
  int32_t Decode(const uint8_t** in, uint32_t* inLeft, bool inputEnds, uint8_t* out, uint32_t room,
                 uint32_t* produced);
  // Once the declared size has been delivered: the stream must end exactly
  // there (its end marker, or none) and with its last byte. ZST_OK,
  // kZipLzmaMoreInput, or the failure (ZST_BAD_DATA when it goes on).
  int32_t End(const uint8_t** in, uint32_t* inLeft, bool inputEnds);

 private:
  struct State;
  explicit ZipLzmaDecoder(State* state) : state_(state) {}
  int32_t TakeHeader(const uint8_t** in, uint32_t* inLeft);

  State* state_;
};
