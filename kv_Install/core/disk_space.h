// Whether an install fits on its drive, decided before the first write: a
// client half unpacked onto a full disk is worse than none. Plain C++; the
// sizes and the drive's figures come from the Windows side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/path_names.h"

// Spare room kept on top of what the files take.
constexpr uint64_t kSpaceMargin = 1 << 20;

// bytes rounded up to whole clusters. Clusters are a power of two bytes on
// every Windows file system; any other size counts as the next power of two
// (0 as 1).
uint64_t RoundUpToCluster(uint64_t bytes, uint32_t clusterBytes);

// Bytes the drive must have free for an install that stages: every file it
// writes (new or changed; a file kept is not written) in whole clusters in
// the staging folder, where it stays until the switch moves it in, with the
// files it replaces moved aside there, so none gives room back before the
// end; plus the journal and the install record, a cluster each at least,
// and kSpaceMargin.
uint64_t StagingSpaceNeeded(const std::vector<uint64_t>& writtenSizes, uint64_t journalBytes,
                            uint64_t recordBytes, uint32_t clusterBytes);

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
