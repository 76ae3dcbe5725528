#include "archive/zip_lzma.h"

#include <cstring>
#include <new>

#include "archive/zip_reader.h"

// The SDK's types header would bring <windows.h> in the Windows build;
// nothing of it is needed here.
#pragma push_macro("_WIN32")
#undef _WIN32
#include "LzmaDec.h"
#pragma pop_macro("_WIN32")

namespace {

constexpr uint32_t kHeaderSize = 9;  // version 2, properties length 2, properties 5

void* Allocate(void*, size_t size) { return ::operator new(size, std::nothrow); }
void Free(void*, void* address) { ::operator delete(address); }
ISzAlloc g_alloc = {Allocate, Free};

}  // namespace

struct ZipLzmaDecoder::State {
  CLzmaDec lzma;
  uint32_t uncompressedSize = 0;
  uint8_t header[kHeaderSize] = {};
  uint32_t headerHave = 0;
  bool ready = false;  // header taken, window and model allocated, decoder initialised
  uint8_t* window = nullptr;
};

ZipLzmaDecoder* ZipLzmaDecoder::Create(uint32_t uncompressedSize) {
  State* state = new (std::nothrow) State;
  if (state == nullptr) return nullptr;
  LzmaDec_Construct(&state->lzma);
  state->uncompressedSize = uncompressedSize;
  ZipLzmaDecoder* decoder = new (std::nothrow) ZipLzmaDecoder(state);
  if (decoder == nullptr) delete state;
  return decoder;
}

ZipLzmaDecoder::~ZipLzmaDecoder() {
  LzmaDec_FreeProbs(&state_->lzma, &g_alloc);
  delete[] state_->window;
  delete state_;
}

// Collects the 9 header bytes; once whole, checks the properties and
// allocates. The window is the smaller of the dictionary the properties
// claim and the entry itself: a stream never reaches further back than
// the bytes it has made.
int32_t ZipLzmaDecoder::TakeHeader(const uint8_t** in, uint32_t* inLeft) {
  State& s = *state_;
  const uint32_t n = kHeaderSize - s.headerHave < *inLeft ? kHeaderSize - s.headerHave : *inLeft;
  if (n == 0) return ZST_OK;  // *in may be null then
  std::memcpy(s.header + s.headerHave, *in, n);
  s.headerHave += n;
  *in += n;
  *inLeft -= n;
  if (s.headerHave < kHeaderSize) return ZST_OK;

  const uint32_t propertiesLength = s.header[2] | static_cast<uint32_t>(s.header[3]) << 8;
  const uint8_t* properties = s.header + 4;
  CLzmaProps props;
  if (propertiesLength != LZMA_PROPS_SIZE || LzmaProps_Decode(&props, properties, LZMA_PROPS_SIZE) != SZ_OK) {
    return ZST_BAD_STREAM;
  }
  uint64_t window = props.dicSize < s.uncompressedSize ? props.dicSize : s.uncompressedSize;
  if (window == 0) window = 1;  // an empty entry still reads its end
  const uint64_t model = (1846ull + (0x300ull << (props.lc + props.lp))) * sizeof(CLzmaProb);
  if (window + model > kZipLzmaMemoryLimit) return ZST_NO_MEMORY;
  s.window = new (std::nothrow) uint8_t[window];
  if (s.window == nullptr) return ZST_NO_MEMORY;
  if (LzmaDec_AllocateProbs(&s.lzma, properties, LZMA_PROPS_SIZE, &g_alloc) != SZ_OK) return ZST_NO_MEMORY;
  s.lzma.dic = s.window;
  s.lzma.dicBufSize = static_cast<SizeT>(window);
  LzmaDec_Init(&s.lzma);
  s.ready = true;
  return ZST_OK;
}

int32_t ZipLzmaDecoder::Decode(const uint8_t** in, uint32_t* inLeft, bool inputEnds, uint8_t* out, uint32_t room,
                               uint32_t* produced) {
  *produced = 0;
  State& s = *state_;
  if (!s.ready) {
    const int32_t status = TakeHeader(in, inLeft);
    if (status != ZST_OK) return status;
    if (!s.ready) return *inLeft == 0 && inputEnds ? ZST_BAD_DATA : ZST_OK;
  }
  CLzmaDec& lzma = s.lzma;
  if (lzma.dicPos == lzma.dicBufSize) lzma.dicPos = 0;  // the window wraps
  const SizeT start = lzma.dicPos;
  const SizeT limit = start + (room < lzma.dicBufSize - start ? room : lzma.dicBufSize - start);
  SizeT consumed = *inLeft;
  ELzmaStatus status;
  const SRes res = LzmaDec_DecodeToDic(&lzma, limit, *in, &consumed, LZMA_FINISH_ANY, &status);
  *in += consumed;
  *inLeft -= static_cast<uint32_t>(consumed);
  const uint32_t made = static_cast<uint32_t>(lzma.dicPos - start);
  if (made != 0) std::memcpy(out, s.window + start, made);
  *produced = made;
  if (res != SZ_OK) return ZST_BAD_STREAM;
  // The end marker before the room was filled: shorter than declared.
  if (status == LZMA_STATUS_FINISHED_WITH_MARK) return ZST_BAD_DATA;
  if (made == 0 && consumed == 0) {
    if (*inLeft != 0) return ZST_BAD_STREAM;  // no progress on the input it has
    if (inputEnds) return ZST_BAD_DATA;       // the data ran out first
  }
  return ZST_OK;
}

int32_t ZipLzmaDecoder::End(const uint8_t** in, uint32_t* inLeft, bool inputEnds) {
  State& s = *state_;
  if (!s.ready) {
    const int32_t status = TakeHeader(in, inLeft);
    if (status != ZST_OK) return status;
    if (!s.ready) return inputEnds ? ZST_BAD_DATA : kZipLzmaMoreInput;
  }
  CLzmaDec& lzma = s.lzma;
  if (lzma.dicPos == lzma.dicBufSize) lzma.dicPos = 0;
  SizeT consumed = *inLeft;
  ELzmaStatus status;
  // No room: only an end marker may follow.
  const SRes res = LzmaDec_DecodeToDic(&lzma, lzma.dicPos, *in, &consumed, LZMA_FINISH_END, &status);
  *in += consumed;
  *inLeft -= static_cast<uint32_t>(consumed);
  if (res != SZ_OK) return ZST_BAD_DATA;  // more symbols past the declared size
  if (status == LZMA_STATUS_NEEDS_MORE_INPUT) return inputEnds ? ZST_BAD_DATA : kZipLzmaMoreInput;
  if (status != LZMA_STATUS_FINISHED_WITH_MARK && status != LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK) {
    return ZST_BAD_DATA;
  }
  // Bytes left over after the stream's end: the entry runs past it.
  return *inLeft == 0 && inputEnds ? ZST_OK : ZST_BAD_DATA;
}
