// Opening an archive, the handle checks, the count query, the cache and the
// cursor.
#include <gtest/gtest.h>

#include <cstring>

#include "zip_builder.h"
#include "archive/zip_reader.h"

using namespace ziptest;

namespace {

// An open archive; the bytes outlive the handle.
struct Opened {
  explicit Opened(std::string archive) : bytes(std::move(archive)) {
    handle = ZipOpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  ~Opened() {
    if (handle != nullptr) ZipClose(handle);
  }
  std::string bytes;
  ZipHandle* handle;
};

uint32_t Count(ZipHandle* h) {
  ZipEntryInfo info{};
  EXPECT_EQ(ZipGetEntry(h, -1, &info), ZRES_OK);
  return static_cast<uint32_t>(info.index);
}

Archive ThreeFiles() {
  return Archive{{Entry{"a.txt", "alpha"}, Entry{"b.txt", "bravo"}, Entry{"c.txt", "charlie"}}};
}

}  // namespace

TEST(ZipOpen, BlocksTooSmallOrMissing) {
  EXPECT_EQ(ZipOpenMemory(nullptr, 0), nullptr);
  EXPECT_EQ(ZipOpenMemory(nullptr, 100), nullptr);  // a missing resource is never read
  const char sig[] = "PK\x05\x06";
  EXPECT_EQ(ZipOpenMemory(sig, 4), nullptr);
  EXPECT_EQ(ZipOpenMemory(sig, 0), nullptr);
  // The signature alone, without the rest of the end record.
  const std::string partial = std::string("xPK\x05\x06", 5) + "\0\0\0\0";
  EXPECT_EQ(ZipOpenMemory(partial.data(), static_cast<uint32_t>(partial.size())), nullptr);
  std::string damaged = Build(ThreeFiles());
  damaged[damaged.size() - 22] = 'X';
  EXPECT_EQ(ZipOpenMemory(damaged.data(), static_cast<uint32_t>(damaged.size())), nullptr);
}

TEST(ZipOpen, EmptyArchiveCountsZero) {
  Opened z(Build(Archive{}));
  ASSERT_EQ(z.bytes.size(), 22u);
  ASSERT_NE(z.handle, nullptr);
  EXPECT_EQ(Count(z.handle), 0u);
  ZipEntryInfo info{};
  EXPECT_EQ(ZipGetEntry(z.handle, 0, &info), ZRES_BAD_ARGUMENT);
}

// The end record must lie within the last 65,535 bytes.
TEST(ZipOpen, CommentLengthLimits) {
  for (const auto& [length, opens] : {std::pair{60000u, true}, {65513u, true}, {65514u, false}}) {
    Archive a = ThreeFiles();
    a.comment = Text(length);
    Opened z(Build(a));
    EXPECT_EQ(z.handle != nullptr, opens) << length;
    if (z.handle) {
      EXPECT_EQ(Count(z.handle), 3u);
    }
  }
}

// A signature that straddles two search chunks (1,028 bytes, overlapping by 4).
TEST(ZipOpen, EndRecordFoundAcrossChunkBoundaries) {
  for (uint32_t comment = 1000; comment < 1040; ++comment) {
    Archive a = ThreeFiles();
    a.comment = std::string(comment, 'c');
    Opened z(Build(a));
    ASSERT_NE(z.handle, nullptr) << comment;
  }
}

TEST(ZipOpen, PrefixShiftsEveryOffset) {
  Archive a = ThreeFiles();
  a.entries[1].localExtra = UtBlock(1, {1000000000});
  a.prefix = Noise(5000);
  Opened z(Build(a));
  ASSERT_NE(z.handle, nullptr);
  ZipEntryInfo info{};
  ASSERT_EQ(ZipGetEntry(z.handle, 1, &info), ZRES_OK);
  EXPECT_STREQ(info.name, "b.txt");
  EXPECT_EQ((uint64_t(info.writeTime.dwHighDateTime) << 32) | info.writeTime.dwLowDateTime,
            FileTimeOfUnix(1000000000));  // the extra field is found past the prefix
  EXPECT_EQ(ZipVerifyEntry(z.handle, 2), ZRES_OK);
}

TEST(ZipOpen, InconsistentEndRecordsAreRefused) {
  struct Case {
    const char* what;
    std::function<void(Archive&)> change;
  };
  const Case cases[] = {
      {"this disk not 0", [](Archive& a) { a.disk = 1; }},
      {"central directory disk not 0", [](Archive& a) { a.centralDisk = 1; }},
      {"entries here differ from total", [](Archive& a) { a.entriesHere = 2; }},
      {"directory ends past the end record", [](Archive& a) { a.centralSize = 1000; }},
      {"directory offset past the end record", [](Archive& a) { a.centralOffset = 0xFFFFFFF0u; }},
      {"offset plus size wraps 32 bits", [](Archive& a) { a.centralOffset = 0xFFFFFFFFu, a.centralSize = 2; }},
  };
  for (const Case& c : cases) {
    Archive a = ThreeFiles();
    c.change(a);
    Opened z(Build(a));
    EXPECT_EQ(z.handle, nullptr) << c.what;
  }
}

TEST(ZipHandleChecks, NullAndForeignHandles) {
  ZipEntryInfo info;
  std::memset(&info, 0xAB, sizeof info);
  const ZipEntryInfo before = info;
  EXPECT_EQ(ZipGetEntry(nullptr, -1, &info), ZRES_BAD_ARGUMENT);
  int32_t foreign[16] = {2};
  ZipHandle* other = reinterpret_cast<ZipHandle*>(foreign);
  EXPECT_EQ(ZipGetEntry(other, 0, &info), ZRES_WRONG_HANDLE);
  EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);  // left untouched
  EXPECT_EQ(ZipClose(nullptr), ZRES_BAD_ARGUMENT);
  EXPECT_EQ(ZipClose(other), ZRES_WRONG_HANDLE);
  EXPECT_EQ(ZipVerifyEntry(other, 0), ZRES_WRONG_HANDLE);
  EXPECT_EQ(ZipOpenEntry(other, 0), ZST_BAD_PARAM);
  EXPECT_EQ(ZipCloseEntry(nullptr), ZST_BAD_PARAM);
  EXPECT_EQ(ZipBaseFolder(other), nullptr);
  EXPECT_EQ(ZipOutputBuffer(nullptr), nullptr);
}

TEST(ZipGet, IndexRangeAndCountQuery) {
  Opened z(Build(ThreeFiles()));
  ASSERT_NE(z.handle, nullptr);
  ZipEntryInfo info{};
  for (int32_t bad : {3, -2, INT32_MIN, INT32_MAX}) EXPECT_EQ(ZipGetEntry(z.handle, bad, &info), ZRES_BAD_ARGUMENT) << bad;

  ASSERT_EQ(ZipGetEntry(z.handle, 1, &info), ZRES_OK);
  std::memset(&info, 0x5A, sizeof info);
  ASSERT_EQ(ZipGetEntry(z.handle, -1, &info), ZRES_OK);
  ZipEntryInfo expected{};
  expected.index = 3;
  EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0);
  // The count query left the cache on entry 1.
  z.bytes.replace(z.bytes.find("b.txt", 100), 5, "x.txt");
  ASSERT_EQ(ZipGetEntry(z.handle, 1, &info), ZRES_OK);
  EXPECT_STREQ(info.name, "b.txt");
}

// A repeated get is answered from the cache without reading the archive; a
// move backwards restarts the cursor at entry 0.
TEST(ZipGet, CacheAndCursorOrder) {
  Archive a;
  for (int i = 0; i < 8; ++i) a.entries.push_back(Entry{"f" + std::to_string(i), Text(100 + i, i)});
  Opened z(Build(a));
  ASSERT_NE(z.handle, nullptr);
  ZipEntryInfo info{};
  for (int32_t i : {5, 2, 7, 0, 6, 6, 1, 5}) {
    ASSERT_EQ(ZipGetEntry(z.handle, i, &info), ZRES_OK) << i;
    EXPECT_EQ(info.index, i);
    EXPECT_EQ(info.name, "f" + std::to_string(i));
    EXPECT_EQ(info.uncompressedSize, 100 + i);
  }
  // Wipe everything but the end record: entry 5 still comes from the cache,
  // any other entry has to be read and fails.
  std::memset(&z.bytes[0], 0, z.bytes.size() - 22);
  ASSERT_EQ(ZipGetEntry(z.handle, 5, &info), ZRES_OK);
  EXPECT_STREQ(info.name, "f5");
  EXPECT_EQ(ZipGetEntry(z.handle, 2, &info), ZRES_BAD_HEADER);
}

// A central header that cannot be read stops the cursor: the entries before
// it stay readable, the ones after it fail at once, every time.
TEST(ZipGet, BrokenCentralHeaderMidDirectory) {
  Archive a;
  for (int i = 0; i < 5; ++i) a.entries.push_back(Entry{"f" + std::to_string(i), "x"});
  a.entries[2].centralSignature = 0x02014B51;
  Opened z(Build(a));
  ASSERT_NE(z.handle, nullptr);
  ZipEntryInfo info{};
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(ZipGetEntry(z.handle, 4, &info), ZRES_BAD_HEADER);
    EXPECT_EQ(ZipGetEntry(z.handle, 3, &info), ZRES_BAD_HEADER);
    EXPECT_EQ(ZipGetEntry(z.handle, 2, &info), ZRES_BAD_HEADER);
    EXPECT_EQ(ZipGetEntry(z.handle, 1, &info), ZRES_OK);
    EXPECT_EQ(ZipGetEntry(z.handle, 0, &info), ZRES_OK);
    EXPECT_EQ(ZipVerifyEntry(z.handle, 4), ZRES_BAD_HEADER);
    EXPECT_EQ(ZipOpenEntry(z.handle, 3), ZST_BAD_ARCHIVE);
  }
}

// A directory that claims more entries than it holds ends in an error at
// the first missing one.
TEST(ZipGet, MoreEntriesClaimedThanHeld) {
  Archive a = ThreeFiles();
  a.entriesHere = a.entriesTotal = 60000;
  Opened z(Build(a));
  ASSERT_NE(z.handle, nullptr);
  EXPECT_EQ(Count(z.handle), 60000u);
  ZipEntryInfo info{};
  EXPECT_EQ(ZipGetEntry(z.handle, 59999, &info), ZRES_BAD_HEADER);
  EXPECT_EQ(ZipGetEntry(z.handle, 3, &info), ZRES_BAD_HEADER);
  EXPECT_EQ(ZipGetEntry(z.handle, 2, &info), ZRES_OK);
}

TEST(ZipHandle, BaseFolderAndOutputBuffer) {
  Opened z(Build(ThreeFiles()));
  ASSERT_NE(z.handle, nullptr);
  const char* base = ZipBaseFolder(z.handle);
  ASSERT_NE(base, nullptr);
  const size_t length = std::strlen(base);
  ASSERT_GT(length, 1u);
  EXPECT_TRUE(base[length - 1] == '\\' || base[length - 1] == '/') << base;
  uint8_t* out = ZipOutputBuffer(z.handle);
  ASSERT_NE(out, nullptr);
  out[kZipBufferSize - 1] = 1;  // the whole buffer is ours (ASan checks)
  EXPECT_EQ(ZipOutputBuffer(z.handle), out);
}

TEST(ZipResultNames, KnownAndUnknown) {
  EXPECT_STREQ(ZipResultName(ZRES_BAD_HEADER), "ZRES_BAD_HEADER");
  EXPECT_STREQ(ZipResultName(ZRES_BAD_DATA), "ZRES_BAD_DATA");
  EXPECT_STREQ(ZipResultName(0x1234ABCD), "ZRES_0x1234ABCD");
}
