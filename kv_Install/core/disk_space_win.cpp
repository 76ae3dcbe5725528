#include "core/disk_space_win.h"

#include <windows.h>

#include <vector>

#include "archive/upgrade_win.h"
#include "base/gbk_text.h"
#include "base/wide.h"
#include "core/disk_space.h"
#include "core/setup_log.h"

namespace {

bool IsFolder(const std::string& path) {
  const WidePath wide(path.c_str());
  const DWORD attributes = wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

SpaceCheck CheckDiskSpace(const std::string& installDir) {
  SpaceCheck check;
  // What the install stages: the files it writes (new or changed), the
  // journal and the record.
  std::vector<uint64_t> written;
  uint64_t journalBytes = 0, recordBytes = 0;
  if (!StagedPayloadSizes(installDir.c_str(), &written, &journalBytes, &recordBytes)) return check;  // the unpacking will say why

  // The folder may not exist yet: the drive is asked through the nearest
  // folder that does (a path that is not there gives no figures).
  const std::string nearest = NearestExistingFolder(installDir, IsFolder);
  const WidePath wideNearest(nearest.c_str());
  wchar_t root[MAX_PATH + 1];
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  ULARGE_INTEGER available, total, totalFree;
  if (nearest.empty() || !wideNearest.ok() || !::GetVolumePathNameW(wideNearest.c_str(), root, MAX_PATH + 1) ||
      !::GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) ||
      !::GetDiskFreeSpaceExW(wideNearest.c_str(), &available, &total, &totalFree)) {
    return check;
  }
  check.needBytes = StagingSpaceNeeded(written, journalBytes, recordBytes, sectorsPerCluster * bytesPerSector);
  check.freeBytes = available.QuadPart;
  check.volume = NarrowOrPlaceholder(AsU16(root));
  check.enough = check.freeBytes >= check.needBytes;
  LogLine("disk " + check.volume + ": " + std::to_string(check.needBytes) + " bytes needed, " +
          std::to_string(check.freeBytes) + " free");
  return check;
}
