// What kvzip check finds in an archive's own records, before the reader sees
// it: ZIP64 markers, methods, encryption and the names as stored (the reader
// hands out cleaned names only). Plain C++ over the bytes of the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ArchiveProblem {
  int index;            // entry index, or -1 for the archive as a whole
  std::string problem;  // short stable text, e.g. "method 12"
  std::string detail;   // the stored name, or what is missing
};

struct StoredEntry {
  std::string name;        // as stored, raw bytes; in GBK when flagged as UTF-8 and convertible
  uint32_t externalAttributes;
  uint8_t host;            // high byte of version made by
};

struct ArchiveRecords {
  bool found = false;             // an end record and a readable directory
  std::vector<StoredEntry> entries;
  std::vector<ArchiveProblem> problems;
};

// The largest archive kvsetup.exe can carry. The installer is a 32-bit
// program without large-address awareness: Windows maps its whole file,
// payload included, into the 2 GB of address space that also hold the
// system's DLLs, the heaps and the threads' stacks. Under Wine (32-bit and
// 64-bit prefixes) a 2.0 GB payload still installed completely; at 2.05 GB
// comctl32 could no longer be mapped, at 2.1 GB the program did not start.
// Windows places its DLLs lower than Wine, hence the margin.
constexpr uint64_t kMaxPayloadBytes = 1700000000;

// Why an archive of size bytes cannot be embedded, or empty when it can.
std::string PayloadSizeProblem(uint64_t size);

// Reads the end record and walks the central directory of data.
ArchiveRecords CheckArchiveRecords(const uint8_t* data, size_t size);

// The problem of one stored name (in GBK) for an installer that joins it
// below its folder, or empty when the name is fine.
std::string StoredNameProblem(const std::string& name);

// A stored name as the file system compares it: '\' as '/', ASCII letters
// in one case, no trailing separator.
std::string FileSystemKey(const std::string& name);

// Entries that would land on the same file or folder, as the file system
// compares names (case, '\\' and '/'): two of the same name, or a file
// where a folder is (named or on the way to another entry).
std::vector<ArchiveProblem> NameClashes(const std::vector<StoredEntry>& entries);
