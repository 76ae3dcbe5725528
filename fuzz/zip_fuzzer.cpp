// libFuzzer target over the ZIP reader: open the input as an archive, get
// every entry, and read every entry both through ZipVerifyEntry and through
// a stream in odd-sized pieces. Beyond the sanitizers it checks what callers
// rely on: cleaned names are NUL-terminated and relative, with no ".."
// component, and a stream never delivers more than the declared size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/zip_reader.h"

namespace {

// Inflating work allowed per input, so that many entries sharing one large
// local entry cannot make a single input run for minutes.
constexpr uint64_t kWorkBudget = 64u << 20;

void Fail(const char* what, const ZipEntryInfo& info) {
  std::fprintf(stderr, "zip_fuzzer: %s (entry %d, name \"%.*s\")\n", what, info.index, kZipNameSize, info.name);
  std::abort();
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

void CheckName(const ZipEntryInfo& info) {
  const void* nul = std::memchr(info.name, '\0', sizeof info.name);
  if (nul == nullptr) Fail("name without NUL", info);
  const char* name = info.name;
  if (IsSeparator(name[0]) || (name[0] != '\0' && name[1] == ':')) Fail("absolute name", info);
  const char* component = name;
  for (const char* p = name;; ++p) {
    // Lead bytes of code page 936 take their trail byte along.
    if (static_cast<unsigned char>(*p) >= 0x81 && static_cast<unsigned char>(*p) <= 0xFE && p[1] != '\0') {
      ++p;
      continue;
    }
    if (*p == '\0' || IsSeparator(*p)) {
      if (p - component == 2 && component[0] == '.' && component[1] == '.') Fail("'..' component", info);
      if (*p == '\0') break;
      component = p + 1;
    }
  }
}

// Reads the entry in pieces of 1, 7, 4096 and 16,384 bytes in turn.
void ReadInPieces(ZipHandle* handle, int32_t index, const ZipEntryInfo& info, uint64_t* budget) {
  if (ZipOpenEntry(handle, index) != ZST_OK) return;
  static uint8_t buffer[kZipBufferSize];
  static const uint32_t kPieces[] = {1, 7, 4096, kZipBufferSize};
  uint64_t total = 0;
  for (unsigned round = 0; *budget > 0; ++round) {
    bool end = false;
    const int32_t n = ZipReadEntry(handle, buffer, kPieces[round % 4], &end);
    if (n < 0) break;
    total += static_cast<uint32_t>(n);
    *budget = *budget > static_cast<uint32_t>(n) ? *budget - static_cast<uint32_t>(n) : 0;
    if (total > static_cast<uint32_t>(info.uncompressedSize)) Fail("more data than declared", info);
    if (end) {
      if (total != static_cast<uint32_t>(info.uncompressedSize)) Fail("end before the declared size", info);
      break;
    }
    if (n == 0) break;
  }
  (void)ZipCloseEntry(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  ZipHandle* handle = ZipOpenMemory(data, static_cast<uint32_t>(size));
  if (handle == nullptr) return 0;
  // Some inputs exercise the decryption with a password.
  if (size > 0 && (data[size - 1] & 1)) ZipSetPassword(handle, "pw");
  ZipEntryInfo info{};
  (void)ZipGetEntry(handle, -1, &info);
  const int32_t count = info.index;
  uint64_t budget = kWorkBudget;
  for (int32_t i = 0; i < count; ++i) {
    if (ZipGetEntry(handle, i, &info) != ZRES_OK) continue;
    if (info.index != i) Fail("record of another index", info);
    CheckName(info);
    if (budget == 0) continue;
    const uint32_t declared = static_cast<uint32_t>(info.uncompressedSize);
    (void)ZipVerifyEntry(handle, i);
    budget = budget > declared ? budget - declared : 0;
    ReadInPieces(handle, i, info, &budget);
  }
  // Walk back once: the cursor restarts and the cache answers a repeat.
  if (count > 1) {
    (void)ZipGetEntry(handle, count - 1, &info);
    (void)ZipGetEntry(handle, 0, &info);
    (void)ZipGetEntry(handle, 0, &info);
  }
  ZipClose(handle);
  return 0;
}
