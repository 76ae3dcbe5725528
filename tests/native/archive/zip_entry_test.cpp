// The records ZipGetEntry hands out: header checks, names, attributes, times.
#include <gtest/gtest.h>

#include <cstring>

#include "zip_builder.h"
#include "archive/zip_reader.h"
#include "archive/zip_reader_entry.h"

using namespace ziptest;

namespace {

// The result of getting entry 0 of archive, and the record.
uint32_t GetFirst(const std::string& archive, ZipEntryInfo* info) {
  ZipHandle* h = ZipOpenMemory(archive.data(), static_cast<uint32_t>(archive.size()));
  if (h == nullptr) return 0xDEAD;
  const uint32_t result = ZipGetEntry(h, 0, info);
  ZipClose(h);
  return result;
}

uint64_t Ticks(const ZipFileTime& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

std::string Cleaned(std::string name) {
  name.resize(std::max<size_t>(name.size(), 1) + 1, '\0');
  CleanEntryName(&name[0]);
  return name.c_str();
}

}  // namespace

// Each malformed entry, one line: what changes, and the result of the get.
TEST(ZipGet, LocalAndCentralHeaderChecks) {
  struct Case {
    const char* what;
    std::function<void(Entry&)> change;
    uint32_t expected;
  };
  const Case cases[] = {
      {"plain deflated entry", [](Entry&) {}, ZRES_OK},
      {"plain stored entry", [](Entry& e) { e.method = 0; }, ZRES_OK},
      {"local signature", [](Entry& e) { e.localSignature = 0x04034B51; }, ZRES_BAD_HEADER},
      {"central signature", [](Entry& e) { e.centralSignature = 0x06054B50; }, ZRES_BAD_HEADER},
      {"local method differs", [](Entry& e) { e.localMethod = 0; }, ZRES_BAD_HEADER},
      {"method 12 in both", [](Entry& e) { e.method = 12; e.compressed = "xx"; }, ZRES_BAD_HEADER},
      {"local CRC differs", [](Entry& e) { e.localCrc = 1; }, ZRES_BAD_HEADER},
      {"local compressed size differs", [](Entry& e) { e.localCompressedSize = 3; }, ZRES_BAD_HEADER},
      {"local size differs", [](Entry& e) { e.localUncompressedSize = 3; }, ZRES_BAD_HEADER},
      {"data descriptor, zero local values",
       [](Entry& e) { e.flags = 8; e.localCrc = e.localCompressedSize = e.localUncompressedSize = 0; }, ZRES_OK},
      {"bit 3 in the central flags only",
       [](Entry& e) { e.flags = 8; e.localFlags = 0; e.localCrc = 0; }, ZRES_BAD_HEADER},
      {"local name length differs", [](Entry& e) { e.localNameLength = 4; }, ZRES_BAD_HEADER},
      {"local extra runs past the block", [](Entry& e) { e.localExtraLength = 0xFFFF; }, ZRES_READ_FAILED},
      {"UTF-8 flag", [](Entry& e) { e.flags = 0x800; e.name = "\xE6\x96\x87.txt"; }, ZRES_OK},
      {"name of 259 bytes", [](Entry& e) { e.name = std::string(259, 'n'); }, ZRES_OK},
      {"name of 260 bytes", [](Entry& e) { e.name = std::string(260, 'n'); }, ZRES_BAD_HEADER},
      {"name of 65,535 bytes", [](Entry& e) { e.name = std::string(65535, 'n'); }, ZRES_BAD_HEADER},
      {"name runs past the block", [](Entry& e) { e.centralNameLength = 200; }, ZRES_BAD_HEADER},
      {"local header offset past the block", [](Entry& e) { e.localHeaderOffset = 0xFFFFFFF0u; }, ZRES_BAD_HEADER},
      {"local header offset inside the directory", [](Entry& e) { e.localHeaderOffset = 60; }, ZRES_BAD_HEADER},
  };
  for (const Case& c : cases) {
    ZipEntryInfo info;
    std::memset(&info, 0x11, sizeof info);
    EXPECT_EQ(GetFirst(BuildOne(c.change), &info), c.expected) << c.what;
    if (c.expected == ZRES_OK) {
      EXPECT_LT(std::strlen(info.name), sizeof info.name) << c.what;
    }
  }
}

// A bad entry is unusable alone; its neighbours still read.
TEST(ZipGet, BadEntryLeavesOthersReadable) {
  Archive a{{Entry{"a", "1"}, Entry{std::string(300, 'L'), "2"}, Entry{"c", "3"}}};
  a.entries[0].localSignature = 0;
  const std::string bytes = Build(a);
  ZipHandle* h = ZipOpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
  ASSERT_NE(h, nullptr);
  ZipEntryInfo info{};
  EXPECT_EQ(ZipGetEntry(h, 0, &info), ZRES_BAD_HEADER);
  EXPECT_EQ(ZipGetEntry(h, 1, &info), ZRES_BAD_HEADER);
  EXPECT_EQ(ZipGetEntry(h, 2, &info), ZRES_OK);
  EXPECT_STREQ(info.name, "c");
  EXPECT_EQ(ZipVerifyEntry(h, 2), ZRES_OK);
  ZipClose(h);
}

TEST(ZipNames, CleanedToStayInsideTheTarget) {
  const std::pair<const char*, const char*> cases[] = {
      {"pic/", "pic/"},
      {"datafile/a.dat", "datafile/a.dat"},
      {"C:\\x\\y.txt", "x\\y.txt"},
      {"/abs/f", "abs/f"},
      {"\\\\host\\share\\f", "host\\share\\f"},
      {"a\\..\\b", "b"},
      {"a/b/../c", "c"},
      {"x\\..\\y/../z", "z"},
      {"C:/../D:\\f", "f"},
      // ".." components that the prefix rules leave behind are removed too.
      {"a\\..\\..\\b", "b"},
      {"../x", "x"},
      {"..\\x", "x"},
      {"..", ""},
      {"../..", ""},
      {"x/..", "x/"},
      {"..\\C:\\win.ini", "win.ini"},
      {"../\\/etc", "etc"},
      {"a/..b/c..", "a/..b/c.."},
      {"", ""},
      {":", ":"},
      // The trail byte 0x5C of a double-byte character is not a separator:
      // "\x95\x5C" is one character, so no "\..\" run starts inside it.
      {"\x95\x5C..\\x", "\x95\x5C..\\x"},
      {"\x95\x5C\\..\\x", "x"},
      {"d\x95\x5C/..\\..\\x", "x"},
  };
  for (const auto& [stored, cleaned] : cases) EXPECT_EQ(Cleaned(stored), cleaned) << stored;
}

TEST(ZipNames, RecordCarriesTheCleanedName) {
  ZipEntryInfo info{};
  ASSERT_EQ(GetFirst(BuildOne([](Entry& e) { e.name = "..\\..\\Windows\\x.dll"; }), &info), ZRES_OK);
  EXPECT_STREQ(info.name, "Windows\\x.dll");
  ASSERT_EQ(GetFirst(BuildOne([](Entry& e) { e.name = ""; }), &info), ZRES_OK);
  EXPECT_STREQ(info.name, "");
}

// A name flagged as UTF-8 (bit 11) is handed out in GBK, converted before
// it is cleaned; one the conversion refuses fails its entry alone. Names
// without the flag stay as stored.
TEST(ZipNames, Utf8FlaggedNamesBecomeGbk) {
  const std::string kBeiUtf8 = "\xE8\x83\x8C";  // 背, whose last byte is a GBK lead byte
  const struct {
    uint32_t flags;
    std::string stored;
    uint32_t result;
    std::string name;
  } cases[] = {
      {0x800, "\xE5\x9B\xBE\xE7\x89\x87/" + kBeiUtf8 + "\xE6\x99\xAF.txt", ZRES_OK,  // 图片/背景.txt
       "\xCD\xBC\xC6\xAC/\xB1\xB3\xBE\xB0.txt"},
      {0x800, "\xE8\xAF\xB4\xE6\x98\x8E.txt", ZRES_OK, "\xCB\xB5\xC3\xF7.txt"},  // 说明.txt
      {0x800, "plain/a.txt", ZRES_OK, "plain/a.txt"},
      {0x808, "C:\\" + kBeiUtf8, ZRES_OK, "\xB1\xB3"},  // cleaned after conversion
      // As GBK, 0x8C would take the '\' along and hide the ".." run.
      {0x800, kBeiUtf8 + "\\..\\x.txt", ZRES_OK, "x.txt"},
      {0, kBeiUtf8 + "\\..\\x.txt", ZRES_OK, kBeiUtf8 + "\\..\\x.txt"},
      {0, "\xCB\xB5\xC3\xF7.txt", ZRES_OK, "\xCB\xB5\xC3\xF7.txt"},  // GBK without the flag
      {0, "\xFF\xFE", ZRES_OK, "\xFF\xFE"},
      {0x800, "\xFF.txt", ZRES_BAD_NAME, ""},
      {0x800, "\xE5\x9B.txt", ZRES_BAD_NAME, ""},          // cut short
      {0x800, "a\xC0\xAF..\xC0\xAFx", ZRES_BAD_NAME, ""},  // overlong '/'
      {0x800, "\xED\xA0\x80", ZRES_BAD_NAME, ""},           // a surrogate
      {0x800, "\xED\x95\x9C.txt", ZRES_BAD_NAME, ""},       // 한: not in GBK
      {0x800, "\xF0\x9F\x98\x80", ZRES_BAD_NAME, ""},      // outside the BMP
  };
  for (const auto& c : cases) {
    ZipEntryInfo info{};
    EXPECT_EQ(GetFirst(BuildOne([&](Entry& e) { e.flags = c.flags, e.name = c.stored; }), &info), c.result)
        << c.stored;
    if (c.result == ZRES_OK) {
      EXPECT_EQ(std::string(info.name), c.name) << c.stored;
    }
  }

  // The refused entry fails the same way when verified; its neighbours read.
  Archive a{{Entry{"a", "1"}, Entry{"\xED\x95\x9C", "2"}, Entry{"c", "3"}}};
  a.entries[1].flags = 0x800;
  const std::string bytes = Build(a);
  ZipHandle* h = ZipOpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
  ASSERT_NE(h, nullptr);
  ZipEntryInfo info{};
  EXPECT_EQ(ZipGetEntry(h, 1, &info), ZRES_BAD_NAME);
  EXPECT_EQ(ZipVerifyEntry(h, 1), ZRES_BAD_NAME);
  EXPECT_EQ(ZipVerifyEntry(h, 0), ZRES_OK);
  EXPECT_EQ(ZipVerifyEntry(h, 2), ZRES_OK);
  EXPECT_STREQ(ZipResultName(ZRES_BAD_NAME), "ZRES_BAD_NAME");
  ZipClose(h);
}

TEST(ZipAttributes, FromHostAndExternalAttributes) {
  struct Case {
    uint32_t madeBy, external, expected;
  };
  const Case cases[] = {
      {63, 0x10, 0x10},           // MS-DOS folder
      {63, 0x2020, 0x20},         // high bits dropped
      {0x0B14, 0x27, 0x27},       // NTFS host: read-only, hidden, system, archive
      {0x0714, 0x01, 0x01},
      {0x0E14, 0x40, 0x00},       // only the five known bits
      {0x0314, 0100644u << 16, 0x20},
      {0x0314, 0100444u << 16, 0x21},
      {0x0314, 040755u << 16, 0x30},
      {0x0314, 0x10, 0x21},       // Unix host ignores the DOS bits
      {0x1E14, 0, 0x21},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZipAttributes(c.madeBy, c.external), c.expected) << std::hex << c.madeBy << " " << c.external;
  }
  ZipEntryInfo info{};
  ASSERT_EQ(GetFirst(BuildOne([](Entry& e) { e.name = "pic/"; e.data = ""; e.method = 0; e.external = 0x10; }), &info), ZRES_OK);
  EXPECT_EQ(info.attributes, 0x10u);
  EXPECT_EQ(info.compressedSize, 0);
  EXPECT_EQ(info.uncompressedSize, 0);
  EXPECT_STREQ(info.name, "pic/");
}

// DOS times are local time (UTC here); the first "UT" block of the local
// extra field replaces the times it carries.
TEST(ZipTimes, DosAndExtendedTimestamps) {
  const uint64_t dos = FileTimeOfUnix(1623753020);  // 2021-06-15 10:30:20
  const int32_t w = 1000000000, a = 1100000000, c = -100;
  struct Case {
    const char* what;
    std::string localExtra;
    std::string centralExtra;
    uint64_t write, access, creation;
  };
  const Case cases[] = {
      {"no extra", "", "", dos, dos, dos},
      {"UT flags 7", UtBlock(7, {w, a, c}), "", FileTimeOfUnix(w), FileTimeOfUnix(a), FileTimeOfUnix(c)},
      {"UT flags 1", UtBlock(1, {w}), "", FileTimeOfUnix(w), dos, dos},
      {"UT flags 4", UtBlock(4, {c}), "", dos, dos, FileTimeOfUnix(c)},
      {"UT after another block", ExtraBlock(0x0001, std::string(16, 'z')) + UtBlock(3, {w, a}), "", FileTimeOfUnix(w),
       FileTimeOfUnix(a), dos},
      {"only the first UT block", UtBlock(1, {w}) + UtBlock(1, {a}), "", FileTimeOfUnix(w), dos, dos},
      {"NTFS block only", ExtraBlock(0x000A, std::string(32, '\x7F')), "", dos, dos, dos},
      {"UT in the central header only", "", UtBlock(1, {w}), dos, dos, dos},
      {"UT flags 7 with one time", UtBlock(7, {w}), "", FileTimeOfUnix(w), dos, dos},
      {"UT cut by the field's end", UtBlock(1, {w}).substr(0, 7), "", dos, dos, dos},
      {"UT flags 7, one time, then a block",
       UtBlock(7, {w}) + ExtraBlock(0x0001, Le32(a) + Le32(c)), "", FileTimeOfUnix(w), dos, dos},
  };
  for (const Case& k : cases) {
    ZipEntryInfo info{};
    ASSERT_EQ(GetFirst(BuildOne([&](Entry& e) { e.localExtra = k.localExtra; e.centralExtra = k.centralExtra; }), &info),
              ZRES_OK)
        << k.what;
    EXPECT_EQ(Ticks(info.writeTime), k.write) << k.what;
    EXPECT_EQ(Ticks(info.accessTime), k.access) << k.what;
    EXPECT_EQ(Ticks(info.creationTime), k.creation) << k.what;
  }
}

// A DOS date the calendar rejects gives time 0, not a value from nowhere.
TEST(ZipTimes, InvalidDosDates) {
  const uint32_t invalid[] = {Dos(2021, 0, 1, 0, 0, 0), Dos(2021, 13, 1, 0, 0, 0), Dos(2021, 2, 29, 0, 0, 0),
                              Dos(2021, 4, 31, 0, 0, 0), Dos(2021, 1, 0, 0, 0, 0), Dos(2021, 1, 1, 24, 0, 0),
                              Dos(2021, 1, 1, 0, 60, 0), Dos(2021, 1, 1, 0, 0, 60)};
  for (uint32_t dosDateTime : invalid) {
    ZipEntryInfo info{};
    ASSERT_EQ(GetFirst(BuildOne([&](Entry& e) { e.dosDateTime = dosDateTime; }), &info), ZRES_OK);
    EXPECT_EQ(Ticks(info.writeTime), 0u) << std::hex << dosDateTime;
    EXPECT_EQ(Ticks(info.creationTime), 0u);
  }
  const std::pair<uint32_t, int64_t> valid[] = {
      {Dos(1980, 1, 1, 0, 0, 0), 315532800},
      {Dos(2020, 2, 29, 23, 59, 58), 1583020798},
      {Dos(2107, 12, 31, 23, 59, 58), 4354819198},
  };
  for (const auto& [dosDateTime, unix] : valid) {
    ZipEntryInfo info{};
    ASSERT_EQ(GetFirst(BuildOne([&](Entry& e) { e.dosDateTime = dosDateTime; }), &info), ZRES_OK);
    EXPECT_EQ(Ticks(info.writeTime), FileTimeOfUnix(unix)) << unix;
  }
}
