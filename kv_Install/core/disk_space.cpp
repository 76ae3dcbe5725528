#include "core/disk_space.h"

#include <algorithm>
#include <cstdio>

uint64_t RoundUpToCluster(uint64_t bytes, uint32_t clusterBytes) {
  // A mask, not a division: 64-bit division would bring a runtime helper
  // into the 32-bit program for no gain.
  uint64_t cluster = 1;
  while (cluster < clusterBytes) cluster <<= 1;
  return (bytes + cluster - 1) & ~(cluster - 1);
}

uint64_t FreedByReplacing(uint64_t storedBytes, uint32_t links, bool reparsePoint) {
  return links > 1 || reparsePoint ? 0 : storedBytes;
}

uint64_t SpaceNeeded(const std::vector<PlannedFile>& files, uint32_t clusterBytes) {
  uint64_t added = 0, freed = 0, largest = 0;
  for (const PlannedFile& file : files) {
    const uint64_t size = RoundUpToCluster(file.size, clusterBytes);
    added += size;
    freed += RoundUpToCluster(file.existingSize, clusterBytes);
    largest = std::max(largest, size);
  }
  // Replaced files larger than their successors give room back, but never
  // more than the install takes.
  return (added > freed ? added - freed : 0) + largest + kSpaceMargin;
}

size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\server\share\ : past the server's and the share's names.
    size_t separators = 0;
    for (const char* p = path.c_str() + 2; *p != '\0'; p = MbcsNext(p)) {
      if (IsSeparator(*p) && ++separators == 2) return static_cast<size_t>(p - path.c_str()) + 1;
    }
    return path.size();
  }
  return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

namespace {

constexpr int kMiBShift = 20;

}  // namespace

std::string NoSpaceMessage(uint64_t needBytes, uint64_t freeBytes, const std::string& volume) {
  char text[512];
  (void)std::snprintf(text, sizeof text, "磁盘空间不足：安装需要 %llu MB，%.260s 只有 %llu MB 可用。请选择其他位置或释放磁盘空间。",
                      static_cast<unsigned long long>((needBytes + (1 << kMiBShift) - 1) >> kMiBShift), volume.c_str(),
                      static_cast<unsigned long long>(freeBytes >> kMiBShift));
  return text;
}

std::string NoSpaceLine(uint64_t needBytes, uint64_t freeBytes, const std::string& volume) {
  char text[512];
  (void)std::snprintf(text, sizeof text, "not enough disk space on %.260s: the install needs %llu bytes, %llu are free; "
                      "nothing was installed", volume.c_str(), static_cast<unsigned long long>(needBytes),
                      static_cast<unsigned long long>(freeBytes));
  return text;
}
