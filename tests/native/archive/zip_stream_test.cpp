// Reading entry data: chunking, the end flag, and entries whose data
// disagrees with their directory record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "zip_builder.h"
#include "archive/zip_reader.h"

using namespace ziptest;

namespace {

class ZipStream : public ::testing::Test {
 protected:
  ~ZipStream() override {
    if (handle_ != nullptr) ZipClose(handle_);
  }
  ZipHandle* Open(const Archive& a) {
    if (handle_ != nullptr) ZipClose(handle_);
    bytes_ = Build(a);
    handle_ = ZipOpenMemory(bytes_.data(), static_cast<uint32_t>(bytes_.size()));
    return handle_;
  }
  ZipHandle* OpenOne(const std::function<void(Entry&)>& change, Entry e) {
    change(e);
    return Open(Archive{{e}});
  }
  // Reads the open entry in chunks of capacity: the data, the counts of the
  // reads, and the status that ended it (0 when the end flag came).
  int32_t ReadAll(uint32_t capacity, std::string* data, std::vector<int32_t>* counts = nullptr) {
    std::vector<uint8_t> buffer(capacity);
    for (int guard = 0; guard < 100000; ++guard) {
      bool end = false;
      const int32_t n = ZipReadEntry(handle_, buffer.data(), capacity, &end);
      if (n < 0) return n;
      if (counts) counts->push_back(n);
      data->append(reinterpret_cast<char*>(buffer.data()), static_cast<size_t>(n));
      if (end) return ZST_OK;
      if (n == 0) return 1;  // no progress without the end flag
    }
    return 2;
  }
  std::string bytes_;
  ZipHandle* handle_ = nullptr;
};

}  // namespace

TEST_F(ZipStream, DeflatedEntryInChunks) {
  const std::string text = Text(40000);
  ASSERT_NE(OpenOne([](Entry&) {}, Entry{"big.txt", text}), nullptr);
  ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK);
  std::string data;
  std::vector<int32_t> counts;
  ASSERT_EQ(ReadAll(kZipBufferSize, &data, &counts), ZST_OK);
  EXPECT_EQ(data, text);
  EXPECT_EQ(counts, (std::vector<int32_t>{16384, 16384, 7232}));
  EXPECT_EQ(ZipCloseEntry(handle_), ZST_OK);
}

// Whatever the caller's capacity, exactly the declared size arrives, then
// the end flag; reads after the end give 0 with the flag again.
TEST_F(ZipStream, ExactSizeAndEndFlag) {
  const std::string noise = Noise(70000), text = Text(33333);
  Archive a{{Entry{"n", noise}, Entry{"t", text}, Entry{"s", text}, Entry{"e", ""}, Entry{"es", ""}}};
  a.entries[2].method = 0;
  a.entries[4].method = 0;
  ASSERT_NE(Open(a), nullptr);
  const std::string expected[] = {noise, text, text, "", ""};
  for (uint32_t capacity : {1u, 7u, 4096u, 16384u, 100000u}) {
    for (int32_t i = 0; i < 5; ++i) {
      ASSERT_EQ(ZipOpenEntry(handle_, i), ZST_OK);
      std::string data;
      ASSERT_EQ(ReadAll(capacity, &data), ZST_OK) << i << " " << capacity;
      EXPECT_TRUE(data == expected[i]) << i << " " << capacity;
      uint8_t more[8];
      bool end = false;
      EXPECT_EQ(ZipReadEntry(handle_, more, sizeof more, &end), 0);
      EXPECT_TRUE(end);
      EXPECT_EQ(ZipCloseEntry(handle_), ZST_OK);
    }
  }
}

TEST_F(ZipStream, StreamLifecycle) {
  ASSERT_NE(Open(Archive{{Entry{"a", "alpha"}, Entry{"b", "bravo"}}}), nullptr);
  uint8_t buffer[16];
  bool end = true;
  EXPECT_EQ(ZipReadEntry(handle_, buffer, sizeof buffer, &end), ZST_BAD_PARAM);
  EXPECT_FALSE(end);
  EXPECT_EQ(ZipCloseEntry(handle_), ZST_BAD_PARAM);
  EXPECT_EQ(ZipOpenEntry(handle_, 2), ZST_BAD_PARAM);
  EXPECT_EQ(ZipOpenEntry(handle_, -1), ZST_BAD_PARAM);
  // Opening another entry replaces the open one.
  ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK);
  ASSERT_EQ(ZipOpenEntry(handle_, 1), ZST_OK);
  EXPECT_EQ(ZipReadEntry(handle_, buffer, 0, &end), 0);
  std::string data;
  ASSERT_EQ(ReadAll(3, &data), ZST_OK);
  EXPECT_EQ(data, "bravo");
  // A get in between does not disturb the open stream.
  ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK);
  ZipEntryInfo info{};
  ASSERT_EQ(ZipGetEntry(handle_, 1, &info), ZRES_OK);
  data.clear();
  ASSERT_EQ(ReadAll(100, &data), ZST_OK);
  EXPECT_EQ(data, "alpha");
  // Closing the handle frees an entry still open (ASan checks).
}

// Data that disagrees with its directory record never passes as success:
// the read fails, the close says why, and verification reports it.
TEST_F(ZipStream, CorruptDataIsAFailure) {
  const std::string text = Text(50000);
  const std::string deflated = Deflate(text);
  const std::string shortStream = Deflate(text.substr(0, 49999));
  const std::string longStream = Deflate(text + "!");
  struct Case {
    const char* what;
    std::function<void(Entry&)> change;
    int32_t readStatus;   // how reading ends
    int32_t closeStatus;
    uint32_t verify;
  };
  const Case cases[] = {
      {"sound deflated entry", [](Entry&) {}, ZST_OK, ZST_OK, ZRES_OK},
      {"sound stored entry", [](Entry& e) { e.method = 0; }, ZST_OK, ZST_OK, ZRES_OK},
      {"CRC differs", [](Entry& e) { e.crc = 0x12345678; }, ZST_CRC_MISMATCH, ZST_CRC_MISMATCH, ZRES_BAD_DATA},
      {"stored, CRC differs", [](Entry& e) { e.method = 0; e.crc = 1; }, ZST_CRC_MISMATCH, ZST_CRC_MISMATCH,
       ZRES_BAD_DATA},
      {"empty entry, CRC differs", [](Entry& e) { e.data = ""; e.crc = 1; }, ZST_CRC_MISMATCH, ZST_CRC_MISMATCH,
       ZRES_BAD_DATA},
      {"stream ends one byte short", [&](Entry& e) { e.compressed = shortStream; e.crc = Crc(text); }, ZST_BAD_DATA,
       ZST_BAD_DATA, ZRES_BAD_DATA},
      {"stream holds one byte more", [&](Entry& e) { e.compressed = longStream; }, ZST_BAD_DATA, ZST_BAD_DATA,
       ZRES_BAD_DATA},
      {"declared size 0, stream holds data", [&](Entry& e) { e.compressed = deflated; e.uncompressedSize = 0; e.crc = 0; },
       ZST_BAD_DATA, ZST_BAD_DATA, ZRES_BAD_DATA},
      {"compressed data cut short", [&](Entry& e) { e.compressed = deflated.substr(0, deflated.size() / 2); },
       ZST_BAD_DATA, ZST_BAD_DATA, ZRES_BAD_DATA},
      {"last deflate block never ends", [&](Entry& e) { e.compressed = deflated.substr(0, deflated.size() - 1); },
       ZST_BAD_DATA, ZST_BAD_DATA, ZRES_BAD_DATA},
      {"garbage instead of deflate", [](Entry& e) { e.compressed = std::string(64, '\xFF'); }, Z_DATA_ERROR, ZST_OK,
       ZRES_DECOMPRESS_FAILED},
      {"compressed size past the block", [](Entry& e) { e.compressedSize = e.localCompressedSize = 0x7FFFFFFF; },
       ZST_READ_ERROR, ZST_OK, ZRES_DECOMPRESS_FAILED},
      // Stored sizes must agree: nothing of such an entry is delivered.
      {"stored data shorter than declared", [](Entry& e) { e.method = 0; e.compressed = "abc"; }, ZST_BAD_DATA,
       ZST_BAD_DATA, ZRES_BAD_DATA},
      {"stored, 12 bytes more data than its size", [&](Entry& e) { e.method = 0; e.compressed = text + "0123456789ab"; },
       ZST_BAD_DATA, ZST_BAD_DATA, ZRES_BAD_DATA},
      {"stored, sizes differ by 12, not encrypted", [](Entry& e) { e.method = 0; e.compressedSize = e.localCompressedSize = 50012; },
       ZST_BAD_DATA, ZST_BAD_DATA, ZRES_BAD_DATA},
  };
  for (const Case& c : cases) {
    ASSERT_NE(OpenOne(c.change, Entry{"t.txt", text}), nullptr) << c.what;
    ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK) << c.what;
    std::string data;
    EXPECT_EQ(ReadAll(kZipBufferSize, &data), c.readStatus) << c.what;
    uint8_t b[4];
    bool end = true;
    if (c.readStatus != ZST_OK) {
      EXPECT_EQ(ZipReadEntry(handle_, b, sizeof b, &end), c.readStatus) << c.what << ": failures stick";
      EXPECT_FALSE(end);
    }
    EXPECT_EQ(ZipCloseEntry(handle_), c.closeStatus) << c.what;
    EXPECT_EQ(ZipVerifyEntry(handle_, 0), c.verify) << c.what;
    ZipClose(handle_);
    handle_ = nullptr;
  }
}

// A CRC mismatch is reported even when the caller closes without reading.
TEST_F(ZipStream, CloseOfUnreadEmptyEntryChecksIt) {
  ASSERT_NE(OpenOne([](Entry& e) { e.crc = 5; }, Entry{"e", ""}), nullptr);
  ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK);
  EXPECT_EQ(ZipCloseEntry(handle_), ZST_CRC_MISMATCH);
  // A stream closed early has not been found wrong.
  ASSERT_NE(OpenOne([](Entry& e) { e.crc = 5; }, Entry{"t", Text(1000)}), nullptr);
  ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK);
  uint8_t b[10];
  bool end;
  ASSERT_EQ(ZipReadEntry(handle_, b, sizeof b, &end), 10);
  EXPECT_EQ(ZipCloseEntry(handle_), ZST_OK);
}

TEST_F(ZipStream, DataDescriptorEntryReads) {
  const std::string text = Text(5000);
  ASSERT_NE(OpenOne([](Entry& e) { e.flags = 8; e.localCrc = e.localCompressedSize = e.localUncompressedSize = 0; },
                    Entry{"d", text}),
            nullptr);
  EXPECT_EQ(ZipVerifyEntry(handle_, 0), ZRES_OK);
}

// Traditional encryption: the check byte is the CRC's high byte, or the DOS
// time's high byte with a data descriptor.
TEST_F(ZipStream, EncryptedEntries) {
  const std::string text = Text(30000);
  struct Case {
    const char* what;
    uint32_t method, flags;
    const char* password;  // set on the handle
    uint32_t verify;
  };
  const Case cases[] = {
      {"deflated, right password", 8, 0, "secret", ZRES_OK},
      {"stored, right password", 0, 0, "secret", ZRES_OK},
      {"data descriptor, right password", 8, 8, "secret", ZRES_OK},
      {"wrong password", 8, 0, "secreT", ZRES_BAD_PASSWORD},
      {"no password", 0, 0, nullptr, ZRES_BAD_PASSWORD},
  };
  for (const Case& c : cases) {
    Entry e{"x.bin", text};
    e.method = c.method;
    e.flags = c.flags;
    e.password = "secret";
    if (c.flags & 8) e.localCrc = e.localCompressedSize = e.localUncompressedSize = 0;
    ASSERT_NE(Open(Archive{{e}}), nullptr) << c.what;
    ZipSetPassword(handle_, c.password);
    EXPECT_EQ(ZipVerifyEntry(handle_, 0), c.verify) << c.what;
    if (c.verify == ZRES_OK) {
      ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK);
      std::string data;
      EXPECT_EQ(ReadAll(1000, &data), ZST_OK);
      EXPECT_TRUE(data == text) << c.what;
      ZipCloseEntry(handle_);
    } else {
      ASSERT_EQ(ZipOpenEntry(handle_, 0), ZST_OK);
      std::string data;
      EXPECT_EQ(ReadAll(1000, &data), ZST_BAD_PASSWORD) << c.what;
      EXPECT_TRUE(data.empty());
    }
    ZipClose(handle_);
    handle_ = nullptr;
  }
  // The 12-byte header alone, for an empty entry, still checks the password.
  Entry empty{"e", ""};
  empty.password = "pw";
  ASSERT_NE(Open(Archive{{empty}}), nullptr);
  ZipSetPassword(handle_, "pw");
  EXPECT_EQ(ZipVerifyEntry(handle_, 0), ZRES_OK);
  ZipSetPassword(handle_, "wrong");
  EXPECT_EQ(ZipVerifyEntry(handle_, 0), ZRES_BAD_PASSWORD);
}

TEST_F(ZipStream, FolderEntriesVerify) {
  Entry folder{"pic/", ""};
  folder.method = 0;
  folder.external = 0x10;
  ASSERT_NE(Open(Archive{{folder, Entry{"pic/a.png", Noise(3000)}}}), nullptr);
  EXPECT_EQ(ZipVerifyEntry(handle_, 0), ZRES_OK);
  EXPECT_EQ(ZipVerifyEntry(handle_, 1), ZRES_OK);
  EXPECT_EQ(ZipVerifyEntry(handle_, 2), ZRES_BAD_ARGUMENT);
  EXPECT_EQ(ZipVerifyEntry(handle_, -1), ZRES_BAD_ARGUMENT);
}
