// Whether an install fits on its drive, decided before the first write: a
// client half unpacked onto a full disk is worse than none. Plain C++; the
// sizes and the drive's figures come from the Windows side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/path_names.h"

// One file the install puts in place: its size, and what replacing the file
// at that target gives back (FreedByReplacing; 0 when none is there).
struct PlannedFile {
  uint64_t size = 0;
  uint64_t existingSize = 0;
};

// What the drive gains when a file is replaced: the bytes it really takes
// on the disk (storedBytes: less than its length when it is compressed or
// sparse), and nothing when other names link to the same data (links > 1)
// or it is a link itself (a reparse point): the data stay.
uint64_t FreedByReplacing(uint64_t storedBytes, uint32_t links, bool reparsePoint);

// Spare room kept on top of what the files take.
constexpr uint64_t kSpaceMargin = 1 << 20;

// bytes rounded up to whole clusters. Clusters are a power of two bytes on
// every Windows file system; any other size counts as the next power of two
// (0 as 1).
uint64_t RoundUpToCluster(uint64_t bytes, uint32_t clusterBytes);

// Bytes the drive must have free: every file in whole clusters, less the
// clusters of the file it replaces, plus the largest file (its temporary
// copy stands beside the old file until the swap), plus kSpaceMargin.
uint64_t SpaceNeeded(const std::vector<PlannedFile>& files, uint32_t clusterBytes);

// Bytes of path's root, which no parent walk strips: "K:\", "K:",
// "\\server\share\", "\"; 0 for a relative path.
size_t RootLength(const std::string& path);

// The folder itself or the nearest of its parents that isFolder(path)
// accepts, without a trailing separator except at a root ("K:\" stays
// "K:\"); empty when none is. folder is GBK, separators '\' or '/'.
template <typename IsFolder>
std::string NearestExistingFolder(const std::string& folder, IsFolder isFolder) {
  std::string path = folder;
  const size_t root = RootLength(path);
  for (;;) {
    while (path.size() > root && IsSeparator(path.back())) path.pop_back();
    if (path.empty()) return path;
    if (isFolder(path)) return path;
    if (path.size() <= root) return std::string();
    const char* last = FindLastSeparator(path.c_str());
    const size_t parent = last != nullptr ? static_cast<size_t>(last - path.c_str()) + 1 : 0;
    path.resize(parent > root ? parent : root);
  }
}

// What the wizard says when the drive is too small (GBK): the sizes in MB,
// the need rounded up and the free space down, so the two never read equal.
std::string NoSpaceMessage(uint64_t needBytes, uint64_t freeBytes, const std::string& volume);

// The same for standard error, in bytes.
std::string NoSpaceLine(uint64_t needBytes, uint64_t freeBytes, const std::string& volume);
