// kvzip: the installer's own archive code as a console tool, to look at a
// payload before it is embedded. Output is for scripts: one line per item,
// fields separated by tabs, names in GBK as the installer hands them out (the
// stored bytes, or converted from UTF-8 when the entry is flagged so).
//
//   kvzip list A         index, attributes, compressed and uncompressed size,
//                        write time (FILETIME), name
//   kvzip test A         index, OK or the failure, name
//   kvzip extract A DIR  what the installer's unpacking would write to DIR
//   kvzip check A        why kvsetup could not install A (nothing when it can):
//                        one line "archive, too large, why" alone when A is
//                        over the size kvsetup can carry; warnings on stderr
//   kvzip pack [--deflate] FOLDER A
//                        (host build only) A made from FOLDER as a payload
//                        kvsetup installs: LZMA entries, or deflate
//
// The same source builds for the host as well (everything but extract, which
// writes files the Windows way; pack is there alone): the Windows build runs that one to check the
// payload, so it needs no Windows program. On Windows the arguments are read
// in Unicode and taken as GBK, converted with code page 936 whatever the
// system's code page.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "archive/payload.h"
#include "base/gbk_text.h"
#include "base/wide.h"
#endif
#include "archive/zip_reader.h"
#include "archive_check.h"
#ifndef _WIN32
#include "pack.h"
#endif
#include "base/mbcs.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Win32 FILE_ATTRIBUTE_* bits of an entry.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeHidden = 0x02;
constexpr uint32_t kAttributeSystem = 0x04;
constexpr uint32_t kAttributeDirectory = 0x10;

const char* const kRequiredFiles[] = {"config.ini", "version.data", "kvClient.exe", "kvUpdate.exe",
                                      "kv_Uninstall.exe"};

int Usage() {
  std::fputs(
      "usage: kvzip list ARCHIVE\n"
      "       kvzip test ARCHIVE\n"
      "       kvzip extract ARCHIVE FOLDER\n"
      "       kvzip check ARCHIVE\n"
#ifndef _WIN32
      "       kvzip pack [--deflate] FOLDER ARCHIVE\n"
#endif
      ,
      stderr);
  return kExitUsage;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>* data) {
#ifdef _WIN32
  const WidePath wide(path);
  FILE* file = wide.ok() ? ::_wfopen(wide.c_str(), L"rb") : nullptr;
#else
  FILE* file = std::fopen(path, "rb");
#endif
  if (file == nullptr) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    data->resize(static_cast<size_t>(size));
    ok = size == 0 || std::fread(data->data(), 1, data->size(), file) == data->size();
  }
  std::fclose(file);
  return ok;
}

// The size of a file in bytes, whatever its size (a 32-bit long cannot
// hold every one).
bool FileSize(const char* path, uint64_t* size) {
#ifdef _WIN32
  const WidePath wide(path);
  struct _stat64 info;
  if (!wide.ok() || ::_wstat64(wide.c_str(), &info) != 0) return false;
#else
  struct stat info;
  if (::stat(path, &info) != 0) return false;
#endif
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

// The archive read whole into memory and opened in place, as the installer
// opens its resource.
class OpenArchive {
 public:
  bool Open(const char* path) { return Read(path) && OpenRead(path); }
  // The two halves of Open, for a look at the bytes in between.
  bool Read(const char* path) {
    if (!ReadWholeFile(path, &data_)) {
      std::fprintf(stderr, "kvzip: cannot read %s\n", path);
      return false;
    }
    return true;
  }
  bool OpenRead(const char* path) {
    handle_ = ZipOpenMemory(data_.data(), static_cast<uint32_t>(data_.size()));
    if (handle_ == nullptr) {
      std::fprintf(stderr, "kvzip: cannot open %s: not a ZIP archive the reader accepts\n", path);
      return false;
    }
    ZipEntryInfo info;
    std::memset(&info, 0, sizeof info);
    (void)ZipGetEntry(handle_, -1, &info);  // the count query of a valid handle always succeeds
    count_ = info.index;
    return true;
  }
  ~OpenArchive() {
    if (handle_ != nullptr) (void)ZipClose(handle_);
  }
  ZipHandle* handle() const { return handle_; }
  int32_t count() const { return count_; }
  const std::vector<uint8_t>& data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
  ZipHandle* handle_ = nullptr;
  int32_t count_ = 0;
};

int List(const char* path) {
  OpenArchive archive;
  if (!archive.Open(path)) return kExitFailed;
  for (int32_t index = 0; index < archive.count(); ++index) {
    ZipEntryInfo info;
    std::memset(&info, 0, sizeof info);
    const uint32_t result = ZipGetEntry(archive.handle(), index, &info);
    if (result != ZRES_OK) {
      std::printf("%d\t%s\n", index, ZipResultName(result));
      continue;
    }
    const unsigned long long writeTime =
        static_cast<unsigned long long>(info.writeTime.dwHighDateTime) << 32 | info.writeTime.dwLowDateTime;
    std::printf("%d\t0x%02X\t%d\t%d\t%llu\t%s\n", index, info.attributes, info.compressedSize,
                info.uncompressedSize, writeTime, info.name);
  }
  return kExitOk;
}

// Reads and verifies every entry; prints one line each (only the failures
// unless printEach), with the stored name when the get itself failed. The
// count of entries that are not OK.
int VerifyAll(const OpenArchive& archive, bool printEach, const std::vector<StoredEntry>* stored = nullptr) {
  int failed = 0;
  for (int32_t index = 0; index < archive.count(); ++index) {
    ZipEntryInfo info;
    std::memset(&info, 0, sizeof info);
    uint32_t result = ZipGetEntry(archive.handle(), index, &info);
    // The check has named the name that cannot be converted, and why.
    if (result == ZRES_BAD_NAME && stored != nullptr) continue;
    if (result == ZRES_OK) result = ZipVerifyEntry(archive.handle(), index);
    if (result != ZRES_OK) ++failed;
    const char* name = info.name;
    if (name[0] == '\0' && stored != nullptr && static_cast<size_t>(index) < stored->size()) {
      name = (*stored)[static_cast<size_t>(index)].name.c_str();
    }
    if (printEach || result != ZRES_OK) {
      std::printf("%d\t%s\t%s\n", index, result == ZRES_OK ? "OK" : ZipResultName(result), name);
    }
  }
  return failed;
}

int Test(const char* path) {
  OpenArchive archive;
  if (!archive.Open(path)) return kExitFailed;
  return VerifyAll(archive, true) == 0 ? kExitOk : kExitFailed;
}

#ifdef _WIN32
// Prints each entry not written; a file another program holds is waited
// for one round, as the installer's unattended run waits.
class PrintFailures final : public UnpackObserver {
 public:
  void EntryDone(const UnpackedEntry& entry) override {
    if (entry.result != ZRES_OK) std::printf("%d\t%s\t%s\n", entry.index, ZipResultName(entry.result), entry.name);
  }
};

int Extract(const char* path, const char* folder) {
  OpenArchive archive;
  if (!archive.Open(path)) return kExitFailed;
  PrintFailures print;
  const PayloadResult result = UnpackArchive(archive.handle(), folder, &print);
  return result.Complete() ? kExitOk : kExitFailed;
}
#endif

void PrintProblem(const ArchiveProblem& problem) {
  if (problem.index < 0) {
    std::printf("archive\t%s\t%s\n", problem.problem.c_str(), problem.detail.c_str());
  } else {
    std::printf("%d\t%s\t%s\n", problem.index, problem.problem.c_str(), problem.detail.c_str());
  }
}

// Problem lines: the archive's own records first, then what the reader makes
// of each entry, then the files the installer relies on.
// An archive too large to embed is refused by its size alone, before it is
// read. Otherwise it is read once: the records are checked on the bytes the
// reader then opens.
int Check(const char* path) {
  uint64_t size = 0;
  if (!FileSize(path, &size)) {
    std::fprintf(stderr, "kvzip: cannot read %s\n", path);
    return kExitFailed;
  }
  const std::string tooLarge = PayloadSizeProblem(size);
  if (!tooLarge.empty()) {
    PrintProblem({-1, "too large", tooLarge});
    return kExitFailed;
  }
  OpenArchive archive;
  if (!archive.Read(path)) return kExitFailed;
  const ArchiveRecords records = CheckArchiveRecords(archive.data().data(), archive.data().size());
  int problems = static_cast<int>(records.problems.size());
  for (const ArchiveProblem& problem : records.problems) PrintProblem(problem);

  if (!archive.OpenRead(path)) {
    PrintProblem({-1, "cannot be opened", ""});
    return kExitFailed;
  }
  problems += VerifyAll(archive, false, &records.entries);

  // A name ending in a separator without the folder attribute is written as
  // a file with an empty name, which cannot be created.
  for (int32_t index = 0; index < archive.count(); ++index) {
    ZipEntryInfo info;
    std::memset(&info, 0, sizeof info);
    if (ZipGetEntry(archive.handle(), index, &info) != ZRES_OK) continue;
    const char* last = info.name;  // start of the last character, in code page 936
    for (const char* p = info.name; *p != '\0'; p = MbcsNext(p)) last = p;
    const bool folderName = *last == '/' || *last == '\\';
    if (folderName && !(info.attributes & kAttributeDirectory)) {
      PrintProblem({index, "folder name on a file entry", info.name});
      ++problems;
    }
  }

  // A reinstall cannot replace a read-only, hidden or system file the first
  // install left: worth a word, not a refusal.
  for (int32_t index = 0; index < archive.count(); ++index) {
    ZipEntryInfo info;
    std::memset(&info, 0, sizeof info);
    if (ZipGetEntry(archive.handle(), index, &info) != ZRES_OK || (info.attributes & kAttributeDirectory)) continue;
    const uint32_t kept = info.attributes & (kAttributeReadOnly | kAttributeHidden | kAttributeSystem);
    if (kept != 0) {
      std::fprintf(stderr, "kvzip: warning: entry %d has attributes 0x%02lX (read-only, hidden or system): %s\n",
                   index, static_cast<unsigned long>(kept), info.name);
    }
  }

  for (const char* required : kRequiredFiles) {
    bool found = false;
    for (const StoredEntry& entry : records.entries) {
      if (FileSystemKey(entry.name) == FileSystemKey(required)) found = true;
    }
    if (!found) {
      PrintProblem({-1, "missing file", required});
      ++problems;
    }
  }
  return problems == 0 ? kExitOk : kExitFailed;
}

int Run(int argc, const char* const* argv) {
  if (argc < 3) return Usage();
  const char* command = argv[1];
  if (std::strcmp(command, "list") == 0 && argc == 3) return List(argv[2]);
  if (std::strcmp(command, "test") == 0 && argc == 3) return Test(argv[2]);
#ifdef _WIN32
  if (std::strcmp(command, "extract") == 0 && argc == 4) return Extract(argv[2], argv[3]);
#endif
  if (std::strcmp(command, "check") == 0 && argc == 3) return Check(argv[2]);
#ifndef _WIN32
  if (std::strcmp(command, "pack") == 0 && argc == 4) return PackFolder(argv[2], argv[3], false);
  if (std::strcmp(command, "pack") == 0 && argc == 5 && std::strcmp(argv[2], "--deflate") == 0) {
    return PackFolder(argv[3], argv[4], true);
  }
#endif
  return Usage();
}

}  // namespace

#ifdef _WIN32
// Built with -municode: the arguments arrive in UTF-16 and become GBK here.
int wmain(int argc, wchar_t** wargv) {
  // Lines end in "\n" alone, whatever the C runtime's text mode would do.
  (void)_setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args(static_cast<size_t>(argc));
  std::vector<const char*> argv;
  for (int i = 0; i < argc; ++i) {
    if (!Utf16ToGbk(reinterpret_cast<const char16_t*>(wargv[i]), &args[static_cast<size_t>(i)])) {
      std::fprintf(stderr, "kvzip: argument %d holds a character GBK cannot hold\n", i);
      return kExitUsage;
    }
    argv.push_back(args[static_cast<size_t>(i)].c_str());
  }
  return Run(argc, argv.data());
}
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif
