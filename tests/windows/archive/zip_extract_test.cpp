// Extraction of entries to disk, and the unpacking loop over a whole archive,
// against real files under Wine: folders, attributes, times, refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/payload.h"
#include "archive/zip_reader.h"
#include "fresh_folder.h"
#include "zip_builder.h"

namespace {

using TestEntry = ziptest::Entry;

TestEntry FolderEntry(const std::string& name) {
  TestEntry entry(name, "");
  entry.method = 0;
  entry.external = 0x10;
  return entry;
}

TestEntry FileEntry(const std::string& name, const std::string& data, uint32_t attributes = 0x20) {
  TestEntry entry(name, data);
  entry.external = attributes;
  return entry;
}

}  // namespace

namespace {

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool IsFolder(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadAll(const std::string& path) {
  std::string data;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "<missing>";
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  std::fclose(f);
  return data;
}

uint64_t WriteTimeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}
uint64_t ToU64(const ZipFileTime& t) { return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

// Names directly inside folder (no "." or "..").
std::vector<std::string> Children(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileA(h, &found));
  ::FindClose(h);
  return names;
}

void RemoveTree(const std::string& path) {
  for (const std::string& name : Children(path)) {
    const std::string child = path + "\\" + name;
    ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (IsFolder(child)) {
      RemoveTree(child);
    } else {
      ::DeleteFileA(child.c_str());
    }
  }
  ::RemoveDirectoryA(path.c_str());
}

// Records the entries unpacking could not write.
class FailureRecorder : public UnpackObserver {
 public:
  struct Failure {
    int32_t index;
    std::string name;
    uint32_t result;
  };
  void EntryDone(const UnpackedEntry& entry) override {
    if (entry.result != ZRES_OK) failures_.push_back({entry.index, entry.name, entry.result});
  }
  size_t size() const { return failures_.size(); }
  std::vector<Failure>::const_iterator begin() const { return failures_.begin(); }
  std::vector<Failure>::const_iterator end() const { return failures_.end(); }
  const Failure& operator[](size_t i) const { return failures_[i]; }

 private:
  std::vector<Failure> failures_;
};

// Whether this Wine can create a file with a double-byte GBK name at all: it
// maps names to the Linux locale's charset and fails without a CJK locale.
bool CanNameFilesInGbk(const std::string& folder) {
  const std::string probe = folder + "\\\xB1\xED.probe";  // one plain GBK character
  HANDLE h = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  ::DeleteFileA(probe.c_str());
  return true;
}

// Whether opening a read-only file for writing fails here, as on Windows.
// Wine leaves the check to Linux permissions, which do not stop root.
bool ReadOnlyIsEnforced(const std::string& folder) {
  const std::string probe = folder + "\\readonly.probe";
  HANDLE h = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  h = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const bool enforced = h == INVALID_HANDLE_VALUE;
  if (!enforced) ::CloseHandle(h);
  ::SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(probe.c_str());
  return enforced;
}

// Each test gets a fresh folder below the temp folder and opens its archive
// with that folder as the current one, so relative targets land in it.
class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = FreshTempFolder("kvx");
    ASSERT_FALSE(root_.empty());
    ::GetCurrentDirectoryA(MAX_PATH, previous_);
    ASSERT_TRUE(::SetCurrentDirectoryA(root_.c_str()));
  }
  void TearDown() override {
    if (handle_ != nullptr) ZipClose(handle_);
    ::SetCurrentDirectoryA(previous_);
    RemoveTree(root_);
  }

  void Open(const std::vector<TestEntry>& entries) {
    if (handle_ != nullptr) ZipClose(handle_);
    archive_ = ziptest::Build(ziptest::Archive(entries));
    handle_ = ZipOpenMemory(archive_.data(), static_cast<uint32_t>(archive_.size()));
    ASSERT_NE(nullptr, handle_);
  }
  uint32_t Extract(int32_t index, const std::string& target) {
    return ZipExtractEntry(handle_, index, target.c_str());
  }
  ZipEntryInfo Info(int32_t index) {
    ZipEntryInfo info{};
    EXPECT_EQ(ZRES_OK, ZipGetEntry(handle_, index, &info));
    return info;
  }
  std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }

  std::string root_;
  char previous_[MAX_PATH] = "";
  std::string archive_;
  ZipHandle* handle_ = nullptr;
};

TEST_F(ExtractTest, FolderEntriesCreateTheirChainAndNoFile) {
  Open({FolderEntry("pic/"), FolderEntry("dir/sub/")});
  // Absolute target with mixed separators: every folder of the chain.
  EXPECT_EQ(ZRES_OK, Extract(1, Path("dir\\sub/")));
  EXPECT_TRUE(IsFolder(Path("dir")));
  EXPECT_TRUE(IsFolder(Path("dir\\sub")));
  EXPECT_EQ(std::vector<std::string>{}, Children(Path("dir\\sub")));
  // Relative target: below the base folder (the current folder at open).
  EXPECT_EQ(ZRES_OK, Extract(0, "pic/"));
  EXPECT_TRUE(IsFolder(Path("pic")));
  // Extracting an existing folder again is fine.
  EXPECT_EQ(ZRES_OK, Extract(0, "pic/"));
}

TEST_F(ExtractTest, FileTargetsRelativeAbsoluteAndRootRelative) {
  Open({FileEntry("a.txt", "alpha"), FileEntry("b.txt", "beta"), FileEntry("c.txt", "gamma")});
  // No separator: base folder + target.
  EXPECT_EQ(ZRES_OK, Extract(0, "plain.txt"));
  EXPECT_EQ("alpha", ReadAll(Path("plain.txt")));
  // Relative with folders: the chain is made below the base folder.
  EXPECT_EQ(ZRES_OK, Extract(1, "x/y\\z.txt"));
  EXPECT_EQ("beta", ReadAll(Path("x\\y\\z.txt")));
  // Beginning with '\': used unchanged, without the base folder.
  ASSERT_EQ(':', root_[1]);
  EXPECT_EQ(ZRES_OK, Extract(2, root_.substr(2) + "\\rooted/r.txt"));
  EXPECT_EQ("gamma", ReadAll(Path("rooted\\r.txt")));
}

TEST_F(ExtractTest, FileTakesTheEntrysAttributesAndTimes) {
  TestEntry entry = FileEntry("f.txt", "new contents");
  entry.dosDateTime = ziptest::Dos(2021, 6, 15, 10, 20, 30);
  Open({entry, FileEntry("ro.txt", "read-only", 0x21), FileEntry("empty.txt", "")});
  const std::string target = Path("f.txt");
  {
    FILE* f = std::fopen(target.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    std::fputs("old contents that are longer", f);
    std::fclose(f);
  }
  // Replaces the existing file: new data, the entry's write time, which is
  // 2021-06-15 10:20:30 read as local time (UTC here).
  EXPECT_EQ(ZRES_OK, Extract(0, target));
  EXPECT_EQ("new contents", ReadAll(target));
  EXPECT_EQ(ToU64(Info(0).writeTime), WriteTimeOf(target));
  EXPECT_EQ(132682260300000000ull, WriteTimeOf(target));

  // Attributes 0x21 give a read-only file.
  EXPECT_EQ(ZRES_OK, Extract(1, Path("ro.txt")));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
            ::GetFileAttributesA(Path("ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

  // An empty file: 0 bytes, times set, OK.
  EXPECT_EQ(ZRES_OK, Extract(2, Path("empty.txt")));
  EXPECT_EQ("", ReadAll(Path("empty.txt")));
  EXPECT_EQ(ToU64(Info(2).writeTime), WriteTimeOf(Path("empty.txt")));
}

TEST_F(ExtractTest, ReadOnlyFileIsNotReplaced) {
  if (!ReadOnlyIsEnforced(root_)) GTEST_SKIP() << "this Wine runs as root and writes read-only files";
  Open({FileEntry("ro.txt", "read-only", 0x21), FileEntry("other.txt", "other")});
  const std::string readOnly = Path("ro.txt");
  EXPECT_EQ(ZRES_OK, Extract(0, readOnly));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, readOnly));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(1, readOnly));
  EXPECT_EQ("read-only", ReadAll(readOnly));
}

TEST_F(ExtractTest, LargeEntryIsWrittenWholeInChunks) {
  std::string data;
  for (int i = 0; data.size() < 40000; ++i) data += std::to_string(i * 7919 % 100003) + ",";
  data.resize(40000);
  TestEntry stored = FileEntry("stored.bin", data);
  stored.method = 0;
  Open({FileEntry("big.bin", data), stored});
  EXPECT_EQ(ZRES_OK, Extract(0, Path("big.bin")));
  EXPECT_EQ(data, ReadAll(Path("big.bin")));  // 16,384 + 16,384 + 7,232 bytes
  EXPECT_EQ(ToU64(Info(0).writeTime), WriteTimeOf(Path("big.bin")));
  EXPECT_EQ(ZRES_OK, Extract(1, Path("stored.bin")));
  EXPECT_EQ(data, ReadAll(Path("stored.bin")));
}

TEST_F(ExtractTest, DataThatDisagreesWithItsRecordFails) {
  TestEntry deflated = FileEntry("d.txt", std::string(30000, 'd'));
  deflated.crc = ziptest::Crc(deflated.data) ^ 1;
  TestEntry stored = FileEntry("s.txt", "stored");
  stored.method = 0;
  stored.crc = ziptest::Crc(stored.data) ^ 1;
  Open({deflated, stored, FileEntry("good.txt", "good")});
  EXPECT_EQ(ZRES_BAD_DATA, Extract(0, Path("d.txt")));
  EXPECT_EQ(ZRES_BAD_DATA, Extract(1, Path("s.txt")));
  EXPECT_EQ(ZRES_OK, Extract(2, Path("good.txt")));
}

// Damaged entries over files an earlier install left: the old files stay as
// they were, with no temporary file beside them and no read-only attribute.
TEST_F(ExtractTest, DamagedEntryLeavesTheOldFileAndNothingElse) {
  TestEntry badCrc = FileEntry("crc.txt", std::string(30000, 'c'));
  badCrc.crc = ziptest::Crc(badCrc.data) ^ 1;
  TestEntry garbage = FileEntry("garbage.txt", "new data");
  garbage.compressed = std::string(64, '\xFF');
  TestEntry longStored = FileEntry("stored.txt", "new");
  longStored.method = 0;
  longStored.compressed = "new" + std::string(12, 'x');  // 12 bytes more than its size
  std::vector<TestEntry> entries = {badCrc, garbage, longStored};
  for (TestEntry entry : {badCrc, garbage, longStored}) {
    entry.external = 0x21;  // read-only
    entries.push_back(entry);
  }
  entries.push_back(FileEntry("good.txt", "new good"));
  Open(entries);
  const std::vector<std::string> names = {"crc.txt", "garbage.txt", "good.txt", "stored.txt"};
  for (const std::string& name : names) {
    FILE* f = std::fopen(Path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(("old " + name).c_str(), f);
    std::fclose(f);
  }
  const uint32_t expected[] = {ZRES_BAD_DATA, ZRES_DECOMPRESS_FAILED, ZRES_BAD_DATA};
  for (int32_t index = 0; index < 6; ++index) {
    const std::string name = names[index % 3 == 2 ? 3 : index % 3];
    EXPECT_EQ(expected[index % 3], Extract(index, Path(name))) << index;
    EXPECT_EQ("old " + name, ReadAll(Path(name))) << index;
    EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE, ::GetFileAttributesA(Path(name).c_str())) << index;
  }
  std::vector<std::string> children = Children(root_);
  std::sort(children.begin(), children.end());
  EXPECT_EQ(names, children);

  EXPECT_EQ(ZRES_OK, Extract(6, Path("good.txt")));
  EXPECT_EQ("new good", ReadAll(Path("good.txt")));
  EXPECT_EQ(ToU64(Info(6).writeTime), WriteTimeOf(Path("good.txt")));
  children = Children(root_);
  std::sort(children.begin(), children.end());
  EXPECT_EQ(names, children);
}

// A file a running program holds open (as a loaded executable is: reading
// shared, nothing else) cannot be replaced, and nothing is left beside it.
TEST_F(ExtractTest, FileHeldOpenIsNotReplaced) {
  Open({FileEntry("held.exe", "new")});
  FILE* f = std::fopen(Path("held.exe").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("old", f);
  std::fclose(f);
  HANDLE held = ::CreateFileA(Path("held.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, Path("held.exe")));
  ::CloseHandle(held);
  EXPECT_EQ("old", ReadAll(Path("held.exe")));
  EXPECT_EQ(std::vector<std::string>{"held.exe"}, Children(root_));
  EXPECT_EQ(ZRES_OK, Extract(0, Path("held.exe")));
  EXPECT_EQ("new", ReadAll(Path("held.exe")));
}

namespace {
DWORD WINAPI ReleaseAfter300Ms(void* handle) {
  ::Sleep(300);
  return ::CloseHandle(handle) ? 0 : 1;
}
}  // namespace

// With a waiter, a held file is tried again: a brief hold is waited out
// within the first round; one that outlasts its round is asked about, and
// another round replaces it once the holder lets go; a waiter that gives up
// leaves the old file and nothing beside it.
TEST_F(ExtractTest, HeldFileIsWaitedForThenAskedAbout) {
  struct Waiter : ZipHeldFileWaiter {
    HANDLE held = INVALID_HANDLE_VALUE;
    int asked = 0;
    bool again = true;
    bool WaitAgain(const char*, uint32_t) override {
      ++asked;
      if (again) ::CloseHandle(held);  // the holder ends while the question is open
      return again;
    }
  } waiter;
  Open({FileEntry("held.dat", "new")});
  const std::string path = Path("held.dat");
  const auto hold = [&] {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("old", f);
    std::fclose(f);
    return ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  uint32_t heldMs = 0;

  // Released by another thread after 300 ms: no question.
  waiter.held = hold();
  ASSERT_NE(waiter.held, INVALID_HANDLE_VALUE);
  HANDLE releaser = ::CreateThread(nullptr, 0, ReleaseAfter300Ms, waiter.held, 0, nullptr);
  EXPECT_EQ(ZRES_OK, ZipExtractEntryWaiting(handle_, 0, path.c_str(), &waiter, &heldMs));
  ::WaitForSingleObject(releaser, INFINITE);
  ::CloseHandle(releaser);
  EXPECT_EQ(0, waiter.asked);
  EXPECT_GE(heldMs, 250u);
  EXPECT_LT(heldMs, 3000u);
  EXPECT_EQ("new", ReadAll(path));

  // Held past the round (5 s: the run's second held file): asked once, then
  // replaced.
  waiter.held = hold();
  EXPECT_EQ(ZRES_OK, ZipExtractEntryWaiting(handle_, 0, path.c_str(), &waiter, &heldMs));
  EXPECT_EQ(1, waiter.asked);
  EXPECT_GE(heldMs, 5000u);
  EXPECT_LT(heldMs, 8000u);
  EXPECT_EQ("new", ReadAll(path));

  // Given up: the old file, its holder's error, nothing left beside it.
  waiter.held = hold();
  waiter.again = false;
  waiter.asked = 0;
  EXPECT_EQ(ZRES_FILE_HELD, ZipExtractEntryWaiting(handle_, 0, path.c_str(), &waiter, &heldMs));
  const DWORD error = ::GetLastError();
  EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
  ::CloseHandle(waiter.held);
  EXPECT_EQ(1, waiter.asked);
  EXPECT_EQ("old", ReadAll(path));
  EXPECT_EQ(std::vector<std::string>{"held.dat"}, Children(root_));
}

// Names Windows reads as devices or NTFS streams fail alone; nothing of them
// is created, and the good entry beside them is installed.
TEST_F(ExtractTest, DeviceAndStreamNamesFailAlone) {
  const std::vector<std::string> unsafe = {"aux.dat",    "datafile/NUL", "COM1",   "sub/lpt1.txt",
                                           "Con .txt",   "file.txt:ads", "dir/a:b"};
  std::vector<TestEntry> entries;
  for (const std::string& name : unsafe) entries.push_back(FileEntry(name, "device"));
  entries.push_back(FolderEntry("LPT3/"));
  entries.push_back(FileEntry("good.txt", "good"));
  Open(entries);
  FailureRecorder failures;
  const PayloadResult result = UnpackArchive(handle_, root_.c_str(), &failures);
  EXPECT_EQ(static_cast<int>(unsafe.size()) + 1, result.failedCount);
  ASSERT_EQ(unsafe.size() + 1, failures.size());
  for (size_t i = 0; i < unsafe.size(); ++i) {
    EXPECT_EQ(unsafe[i], failures[i].name);
    EXPECT_EQ(ZRES_CANNOT_OPEN, failures[i].result) << unsafe[i];
  }
  EXPECT_EQ(std::vector<std::string>{"good.txt"}, Children(root_));
  EXPECT_EQ("good", ReadAll(Path("good.txt")));
}

TEST_F(ExtractTest, RefusalsCreateNothing) {
  Open({FileEntry("a.txt", "a"), FolderEntry("f/")});
  // Index out of range and bad handles.
  EXPECT_EQ(ZRES_BAD_ARGUMENT, Extract(2, Path("a.txt")));
  EXPECT_EQ(ZRES_BAD_ARGUMENT, Extract(-1, Path("a.txt")));
  EXPECT_EQ(ZRES_BAD_ARGUMENT, ZipExtractEntry(nullptr, 0, Path("a.txt").c_str()));
  // A file target that ends in a separator has no name.
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, Path("sub\\")));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, Path("sub/")));
  // Paths beyond the 260-byte limit: the file path, the folder part, and a
  // folder entry's target; relative ones count the base folder too.
  const std::string longName(255, 'n');
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, Path("deep/" + longName)));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, Path(longName + "/a.txt")));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, std::string(300, 'r') + "/a.txt"));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, std::string(MAX_PATH - root_.size() - 1, 'x')));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(1, Path(longName + "/")));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(1, longName + "/"));
  // A target that is not GBK text names no file.
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(0, Path("\xFF.txt")));
  EXPECT_EQ(ZRES_CANNOT_OPEN, Extract(1, Path("d\x81/")));
  EXPECT_EQ(std::vector<std::string>{}, Children(root_));
  // The longest relative name that still fits is written.
  const std::string fits(MAX_PATH - root_.size() - 2, 'y');
  EXPECT_EQ(ZRES_OK, Extract(0, fits));
  EXPECT_EQ("a", ReadAll(root_ + "\\" + fits));
}

TEST_F(ExtractTest, DoubleByteCharacterWithBackslashTrailIsNoSeparator) {
  // 0x89 0x5C is one GBK character; its trail byte is '\'.
  if (!CanNameFilesInGbk(root_)) GTEST_SKIP() << "Wine cannot map GBK file names here (no zh_CN.UTF-8 locale)";
  const std::string name = "a\x89\x5C" "b.txt";
  const std::string folder = "d\x89\x5C";
  Open({FileEntry(name, "one file"), FileEntry(folder + "/in.txt", "inside")});
  EXPECT_EQ(ZRES_OK, Extract(0, Path(name)));
  EXPECT_EQ(ZRES_OK, Extract(1, Path(folder + "/in.txt")));
  std::vector<std::string> children = Children(root_);
  std::sort(children.begin(), children.end());
  EXPECT_EQ((std::vector<std::string>{name, folder}), children);
  EXPECT_FALSE(IsFolder(Path(name)));
  EXPECT_EQ("one file", ReadAll(Path(name)));
  EXPECT_EQ("inside", ReadAll(Path(folder + "\\in.txt")));
}

TEST_F(ExtractTest, UnpackingGoesOnPastFailedEntriesAndStaysInside) {
  TestEntry bad = FileEntry("bad.txt", "bad");
  bad.crc = ziptest::Crc(bad.data) ^ 1;
  // UTF-8 names: 图片/背景.txt is written under its GBK name, Korean fails.
  TestEntry utf8 = FileEntry("\xE5\x9B\xBE\xE7\x89\x87/\xE8\x83\x8C\xE6\x99\xAF.txt", "utf-8");
  TestEntry korean = FileEntry("\xED\x95\x9C.txt", "korean");
  utf8.flags = korean.flags = 0x800;
  Open({FolderEntry("empty/"), bad, FileEntry("keep/ok.txt", "ok"), FileEntry("../evil.txt", "evil"),
        FileEntry("x/../../evil2.txt", "evil"), korean, utf8});
  ASSERT_TRUE(::CreateDirectoryA(Path("inner").c_str(), nullptr));
  FailureRecorder failures;
  const PayloadResult result = UnpackArchive(handle_, Path("inner").c_str(), &failures);
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(7, result.entryCount);
  ASSERT_LE(1u, failures.size());
  EXPECT_EQ(1, failures[0].index);
  EXPECT_EQ("bad.txt", failures[0].name);
  EXPECT_EQ(ZRES_BAD_DATA, failures[0].result);
  EXPECT_EQ(static_cast<int>(failures.size()), result.failedCount);
  EXPECT_FALSE(result.Complete());
  EXPECT_TRUE(IsFolder(Path("inner\\empty")));
  EXPECT_EQ("ok", ReadAll(Path("inner\\keep\\ok.txt")));
  EXPECT_EQ(1, std::count_if(failures.begin(), failures.end(),
                             [](const FailureRecorder::Failure& f) { return f.index == 5 && f.result == ZRES_BAD_NAME; }));
  if (CanNameFilesInGbk(root_)) {
    EXPECT_EQ("utf-8", ReadAll(Path("inner\\\xCD\xBC\xC6\xAC\\\xB1\xB3\xBE\xB0.txt")));
  }
  // Whatever the reader makes of the ".." names, nothing lands outside.
  EXPECT_EQ(std::vector<std::string>{"inner"}, Children(root_));
}

void WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

// A folder entry succeeds only when the folder stands afterwards, whether
// the target is absolute or relative.
TEST_F(ExtractTest, FolderEntryThatDidNotBecomeAFolderFails) {
  const struct {
    const char* inTheWay;  // a file made first, or ""
    const char* target;
    uint32_t result;
  } cases[] = {
      {"logs", "logs/", ZRES_CANNOT_OPEN},
      {"logs", "logs\\", ZRES_CANNOT_OPEN},
      {"a", "a/logs/", ZRES_CANNOT_OPEN},  // its parent cannot be made
      {"other", "logs/", ZRES_OK},
      {"", "new/deeper/", ZRES_OK},
  };
  Open({FolderEntry("logs/")});
  int n = 0;
  for (const auto& c : cases) {
    for (const bool absolute : {true, false}) {
      const std::string folder = "case" + std::to_string(n++);
      ASSERT_TRUE(::CreateDirectoryA(Path(folder).c_str(), nullptr));
      if (c.inTheWay[0] != '\0') WriteText(Path(folder + "\\" + c.inTheWay), "in the way");
      const std::string target = folder + "\\" + c.target;
      EXPECT_EQ(c.result, Extract(0, absolute ? Path(target) : target)) << target;
      EXPECT_EQ(c.result == ZRES_OK, IsFolder(Path(target))) << target;
      if (c.inTheWay[0] != '\0') {
        EXPECT_EQ("in the way", ReadAll(Path(folder + "\\" + c.inTheWay))) << target;
      }
    }
  }
  // Unpacking counts it, and the file meant to go inside it, as failed.
  Open({FolderEntry("logs/"), FileEntry("logs/a.txt", "a"), FileEntry("b.txt", "b")});
  ASSERT_TRUE(::CreateDirectoryA(Path("inner").c_str(), nullptr));
  WriteText(Path("inner\\logs"), "in the way");
  const PayloadResult result = UnpackArchive(handle_, Path("inner").c_str());
  EXPECT_EQ(2, result.failedCount);
  EXPECT_FALSE(result.Complete());
  EXPECT_EQ("b", ReadAll(Path("inner\\b.txt")));
  EXPECT_EQ(1u, result.writtenBytes);  // only what was put in place
}

// The temporary files an install that was ended mid-entry left beside its
// targets go with the next unpacking; nothing else does.
TEST_F(ExtractTest, UnpackingRemovesTheTemporaryFilesOfAnEndedInstall) {
  Open({FileEntry("a.txt", "a"), FolderEntry("empty/"), FileEntry("sub/b.txt", "b"), FileEntry("sub/deep/c.txt", "c")});
  for (const char* folder : {"inner", "inner\\sub", "inner\\sub\\deep", "inner\\empty", "inner\\other"}) {
    ASSERT_TRUE(::CreateDirectoryA(Path(folder).c_str(), nullptr));
  }
  const struct {
    const char* path;  // below the test folder
    bool removed;
  } cases[] = {
      {"inner\\~kv1A2B.tmp", true},
      {"inner\\sub\\~kvFFFF.tmp", true},
      {"inner\\sub\\deep\\~kv0000.tmp", true},
      {"~kv1234.tmp", false},                  // beside the install folder, not in it
      {"inner\\other\\~kv1234.tmp", false},  // a folder the archive writes no file into
      {"inner\\empty\\~kv1234.tmp", false},  // only made, never written into
      {"inner\\~kvabcd.tmp", false},          // never made in lower case
      {"inner\\~kv12345.tmp", false},
      {"inner\\~kvGHIJ.tmp", false},
      {"inner\\x~kv1234.tmp", false},
      {"inner\\~kv1234.tmp.bak", false},
      {"inner\\~kv12 with a long name.tmp", false},  // a short name may match the pattern
  };
  for (const auto& c : cases) WriteText(Path(c.path), "left");
  ASSERT_TRUE(::CreateDirectoryA(Path("inner\\sub\\~kv9999.tmp").c_str(), nullptr));

  const PayloadResult result = UnpackArchive(handle_, Path("inner").c_str());
  EXPECT_TRUE(result.Complete());
  EXPECT_EQ(3u, result.writtenBytes);  // a, b and c; the removed files count for nothing
  for (const auto& c : cases) EXPECT_EQ(!c.removed, Exists(Path(c.path))) << c.path;
  EXPECT_TRUE(IsFolder(Path("inner\\sub\\~kv9999.tmp")));
  EXPECT_EQ("c", ReadAll(Path("inner\\sub\\deep\\c.txt")));
}

TEST(UnpackPayloadTest, ModuleWithoutPayloadInstallsNothing) {
  char temp[MAX_PATH];
  ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, temp));
  const std::string target = std::string(temp) + "kv_no_payload";
  const PayloadResult result = UnpackPayload(target.c_str());
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(0, result.entryCount);
  EXPECT_EQ(0, result.failedCount);
  EXPECT_FALSE(Exists(target));
}

}  // namespace

TEST_F(ExtractTest, LongestPathCountsTheTemporaryNameOfEachFile) {
  const struct {
    std::vector<TestEntry> entries;
    size_t longest;
  } cases[] = {
      {{FileEntry("kvClient.exe", "x")}, 12},
      {{FileEntry("a.txt", "x")}, kZipTempNameLength},
      {{FileEntry("sub/a", "x"), FileEntry("kvClient.exe", "x")}, 4 + kZipTempNameLength},
      {{FolderEntry("a/b/c/"), FileEntry("b.txt", "x")}, kZipTempNameLength},
      {{FileEntry("data/long_file_name.bin", "x")}, 23},
  };
  for (const auto& c : cases) {
    Open(c.entries);
    EXPECT_EQ(c.longest, LongestEntryPath(handle_)) << c.entries[0].name;
  }
  EXPECT_EQ(0u, LongestEntryPath(nullptr));
}
