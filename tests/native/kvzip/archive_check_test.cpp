// kvzip check against end records that disagree with the central directory
// that stands: the reader would visit only what the end record counts.
#include "tools/kvzip/archive_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "zip_builder.h"

namespace {

std::vector<ArchiveProblem> ProblemsOf(const std::string& archive) {
  return CheckArchiveRecords(reinterpret_cast<const uint8_t*>(archive.data()), archive.size()).problems;
}

TEST(ArchiveCheck, EndRecordMustDescribeTheWholeDirectory) {
  using ziptest::Archive;
  const std::vector<ziptest::Entry> three = {{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}};
  const uint32_t directory = 3 * (46 + 5);
  const struct {
    const char* what;
    std::function<void(Archive&)> change;
    int index;  // of the one problem, or -2 for none
    std::string problem, detail;
  } cases[] = {
      {"as written", [](Archive&) {}, -2, "", ""},
      {"bytes in front", [](Archive& a) { a.prefix = "MZ stub"; }, -2, "", ""},
      {"count 2 of 3", [](Archive& a) { a.entriesHere = a.entriesTotal = 2; }, -1,
       "entry count disagrees with the directory", "end record 2, directory 3"},
      {"count 0 of 3", [](Archive& a) { a.entriesHere = a.entriesTotal = 0; }, -1,
       "entry count disagrees with the directory", "end record 0, directory 3"},
      {"count 4 of 3", [](Archive& a) { a.entriesHere = a.entriesTotal = 4; }, 3, "bad central header", ""},
      {"size short", [&](Archive& a) { a.centralSize = directory - 10; }, -1,
       "directory size disagrees with its headers", "end record 143, directory 153"},
      {"size long", [&](Archive& a) { a.centralSize = directory + 10; }, -1, "central directory outside the archive", ""},
      {"size long over bytes in front", [&](Archive& a) { a.prefix = std::string(10, 'x'), a.centralSize = directory + 4; },
       0, "bad central header", ""},
  };
  for (const auto& c : cases) {
    Archive archive(three);
    c.change(archive);
    const std::vector<ArchiveProblem> problems = ProblemsOf(ziptest::Build(archive));
    if (c.index == -2) {
      EXPECT_TRUE(problems.empty()) << c.what << ": " << problems[0].problem;
      continue;
    }
    ASSERT_EQ(1u, problems.size()) << c.what;
    EXPECT_EQ(c.index, problems[0].index) << c.what;
    EXPECT_EQ(c.problem, problems[0].problem) << c.what;
    EXPECT_EQ(c.detail, problems[0].detail) << c.what;
  }
}

// Names flagged as UTF-8 are checked as the GBK the installer writes; one
// that cannot become GBK is refused and shown with what stands in the way.
TEST(ArchiveCheck, Utf8NamesAreCheckedInGbk) {
  const std::string shuo = "\xE8\xAF\xB4", shuoGbk = "\xCB\xB5";  // 说
  std::string longUtf8, longGbk;  // 80 characters: 240 bytes in UTF-8, 160 in GBK
  for (int i = 0; i < 80; ++i) longUtf8 += shuo, longGbk += shuoGbk;
  const struct {
    uint32_t flags;
    std::string name;
    std::string problem, detail;  // empty: no problem
  } cases[] = {
      {0x800, "\xE5\x9B\xBE\xE7\x89\x87/\xE8\x83\x8C\xE6\x99\xAF.txt", "", ""},
      {0x800, longUtf8, "", ""},
      {0, longGbk + longGbk.substr(0, 70), "name too long", longGbk + longGbk.substr(0, 70)},
      {0x800, "\xFF" + shuo + ".txt", "UTF-8 name not well-formed", "\\xFF" + shuoGbk + ".txt"},
      {0x800, shuo + "\xED\x95\x9C.txt", "UTF-8 name outside GBK", shuoGbk + "<U+D55C>.txt"},
      {0x800, "\xF0\x9F\x98\x80", "UTF-8 name outside GBK", "<U+1F600>"},
      {0x800, "a/\xC0\xAF../x", "UTF-8 name not well-formed", "a/\\xC0\\xAF../x"},
      {0x800, shuo + "/../x", "\"..\" component", shuoGbk + "/../x"},
      // Without the flag a name must be GBK for the installer to name its file.
      {0, shuoGbk + "\xFF.txt", "name not GBK", shuoGbk + "\xFF.txt"},
      {0, "a\x81", "name not GBK", "a\x81"},
  };
  for (const auto& c : cases) {
    ziptest::Entry entry(c.name, "x");
    entry.flags = c.flags;
    const std::vector<ArchiveProblem> problems = ProblemsOf(ziptest::Build(ziptest::Archive({entry})));
    if (c.problem.empty()) {
      EXPECT_TRUE(problems.empty()) << c.name << ": " << problems[0].problem;
      continue;
    }
    ASSERT_EQ(1u, problems.size()) << c.name;
    EXPECT_EQ(c.problem, problems[0].problem) << c.name;
    EXPECT_EQ(c.detail, problems[0].detail) << c.name;
  }
}

// The size kvsetup can carry, at the limit and past it (sizes alone: no
// archive of that size is read).
TEST(ArchiveCheck, PayloadSizeLimit) {
  const std::string why = ": kvsetup.exe is a 32-bit program that maps its whole file, payload included, into 2 GB"
                          " of address space";
  const struct {
    uint64_t size;
    std::string problem;
  } cases[] = {
      {0, ""},
      {kMaxPayloadBytes, ""},
      {kMaxPayloadBytes + 1, "1,700,000,001 bytes, over the limit of 1,700,000,000" + why},
      {uint64_t{5} << 30, "5,368,709,120 bytes, over the limit of 1,700,000,000" + why},  // past 32 bits
  };
  for (const auto& c : cases) EXPECT_EQ(c.problem, PayloadSizeProblem(c.size)) << c.size;
}

// More than 65,535 entries without ZIP64: the 16-bit count wraps.
TEST(ArchiveCheck, CountThatWrappedPast65535IsRefused) {
  std::vector<ziptest::Entry> entries(65537);
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i].name = "f" + std::to_string(i);
    entries[i].method = 0;
  }
  const std::vector<ArchiveProblem> problems = ProblemsOf(ziptest::Build(ziptest::Archive(entries)));
  ASSERT_EQ(1u, problems.size());
  EXPECT_EQ("end record 1, directory 65537", problems[0].detail);
}

}  // namespace
