// LZMA entries (method 14) as other tools write them, and broken copies:
// each archive's damaged entry fails with its result, the entries after it
// still read whole.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/zip_reader.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct LzmaCase {
  const char* archive;  // made by tests/support/make_lzma_fixtures.py
  const char* entry;
  uint32_t result;       // of ZipVerifyEntry
};

const LzmaCase kCases[] = {
    // Python's zipfile: end marker present, bit 1 set.
    {"python.zip", "data.bin", ZRES_OK},
    {"python.zip", "small.txt", ZRES_OK},
    {"python.zip", "empty.txt", ZRES_OK},
    // p7zip, with and without the end marker.
    {"p7zip_marker.zip", "tree/data.bin", ZRES_OK},
    {"p7zip_marker.zip", "tree/small.txt", ZRES_OK},
    {"p7zip_nomarker.zip", "tree/data.bin", ZRES_OK},
    {"p7zip_nomarker.zip", "tree/small.txt", ZRES_OK},
    // A 4 GiB dictionary claimed by a small entry: its window is the entry.
    {"dict_4g.zip", "data.bin", ZRES_OK},
    // The same claimed by 65 MiB of zeros: over the limit, refused unread.
    {"dict_4g_big.zip", "big.bin", ZRES_DECOMPRESS_FAILED},
    {"flipped.zip", "data.bin", ZRES_DECOMPRESS_FAILED},
    {"props_length.zip", "data.bin", ZRES_DECOMPRESS_FAILED},
    {"cut.zip", "data.bin", ZRES_BAD_DATA},             // the stream ends early
    {"declared_short.zip", "data.bin", ZRES_BAD_DATA},  // it runs past its size
    {"declared_long.zip", "data.bin", ZRES_BAD_DATA},   // its marker comes before the size
};

class ZipLzma : public ::testing::TestWithParam<LzmaCase> {};

std::string CaseName(const ::testing::TestParamInfo<LzmaCase>& info) {
  std::string name = std::string(info.param.archive) + "_" + info.param.entry;
  for (char& c : name) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

TEST_P(ZipLzma, EntryReadsWholeOrFailsAlone) {
  const LzmaCase& c = GetParam();
  const std::string archive = ReadFile(std::string(KV_LZMA_FIXTURES) + "/" + c.archive);
  ASSERT_FALSE(archive.empty());
  ZipHandle* handle = ZipOpenMemory(archive.data(), static_cast<uint32_t>(archive.size()));
  ASSERT_NE(handle, nullptr);
  ZipEntryInfo info{};
  ASSERT_EQ(ZipGetEntry(handle, -1, &info), ZRES_OK);
  const int32_t count = info.index;
  int32_t index = -1;
  for (int32_t i = 0; i < count; ++i) {
    ASSERT_EQ(ZipGetEntry(handle, i, &info), ZRES_OK);
    if (std::string(info.name) == c.entry) index = i;
  }
  ASSERT_GE(index, 0) << c.entry;
  EXPECT_EQ(ZipVerifyEntry(handle, index), c.result) << ZipResultName(ZipVerifyEntry(handle, index));

  // Read whole in odd-sized pieces: byte for byte the source, or stopped by
  // a failure with no end flag.
  ASSERT_EQ(ZipOpenEntry(handle, index), ZST_OK);
  std::string data;
  std::vector<uint8_t> buffer(5000);
  int32_t status = 0;
  bool end = false;
  while (!end) {
    status = ZipReadEntry(handle, buffer.data(), static_cast<uint32_t>(buffer.size()), &end);
    if (status < 0) break;
    data.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(status));
    ASSERT_TRUE(end || status > 0);
  }
  (void)ZipCloseEntry(handle);
  if (c.result == ZRES_OK) {
    std::string source = std::string(c.entry).substr(std::string(c.entry).rfind('/') + 1);
    EXPECT_TRUE(end);
    EXPECT_EQ(data, ReadFile(std::string(KV_LZMA_FIXTURES) + "/sources/" + source));
  } else {
    EXPECT_FALSE(end);
    EXPECT_LT(status, 0);
  }
  // Every other entry of the archive is intact.
  for (int32_t i = 0; i < count; ++i) {
    if (i != index) {
      EXPECT_EQ(ZipVerifyEntry(handle, i), ZRES_OK) << i;
    }
  }
  ZipClose(handle);
}

INSTANTIATE_TEST_SUITE_P(OtherTools, ZipLzma, ::testing::ValuesIn(kCases), CaseName);

}  // namespace

namespace {

// Reads every entry in order as the unpacking loop does: each entry's data
// and the status that ended it.
std::vector<std::pair<std::string, int32_t>> ReadInOrder(ZipHandle* handle) {
  ZipEntryInfo info{};
  (void)ZipGetEntry(handle, -1, &info);
  std::vector<std::pair<std::string, int32_t>> out;
  std::vector<uint8_t> buffer(kZipBufferSize);
  for (int32_t i = 0; i < info.index; ++i) {
    std::string data;
    int32_t status = ZipOpenEntry(handle, i);
    for (bool end = false; status == ZST_OK && !end;) {
      const int32_t n = ZipReadEntry(handle, buffer.data(), kZipBufferSize, &end);
      if (n < 0) status = n;
      if (n > 0) data.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(n));
      if (n == 0 && !end) status = 1;
    }
    const int32_t closed = ZipCloseEntry(handle);
    out.emplace_back(data, status != ZST_OK ? status : closed);
  }
  return out;
}

// Decoding ahead on the workers changes nothing a reader sees: the same
// bytes, and the same failures, entry by entry.
TEST(ZipReadAhead, SameBytesAndFailuresAsWithout) {
  for (const char* name : {"python.zip", "p7zip_marker.zip", "flipped.zip", "cut.zip", "declared_short.zip",
                           "declared_long.zip", "props_length.zip", "dict_4g_big.zip"}) {
    const std::string archive = ReadFile(std::string(KV_LZMA_FIXTURES) + "/" + name);
    ZipHandle* plain = ZipOpenMemory(archive.data(), static_cast<uint32_t>(archive.size()));
    ZipHandle* ahead = ZipOpenMemory(archive.data(), static_cast<uint32_t>(archive.size()));
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(ahead, nullptr);
    ASSERT_TRUE(ZipStartReadAhead(ahead));
    EXPECT_EQ(ReadInOrder(ahead), ReadInOrder(plain)) << name;
    ZipClose(plain);
    ZipClose(ahead);
  }
}

}  // namespace
