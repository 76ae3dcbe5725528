// The free-space check before an install's first write, on the drive the
// install folder is on.
#pragma once

#include <cstdint>
#include <string>

struct SpaceCheck {
  bool enough = true;   // also when the drive's figures cannot be had: nothing is stopped on a guess
  uint64_t needBytes = 0;
  uint64_t freeBytes = 0;   // what the caller may use (quotas count)
  std::string volume;       // the drive's root as the user knows it ("K:\"), GBK
};

// Sizes the embedded payload's files against the drive of installDir (GBK).
SpaceCheck CheckDiskSpace(const std::string& installDir);
