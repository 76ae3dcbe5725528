#include "core/disk_space_win.h"

#include <windows.h>

#include <vector>

#include "archive/upgrade_win.h"
#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/wide.h"
#include "core/disk_space.h"
#include "core/setup_log.h"

namespace {

bool IsFolder(const std::string& path) {
  const WidePath wide(path.c_str());
  const DWORD attributes = wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The folder's final path, links followed, as a path the W calls take:
// the drive is the one the data land on, not the one the path names. The
// path itself when it cannot be asked.
std::u16string FinalPath(const WidePath& folder) {
  const UniqueHandle held(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  wchar_t resolved[MAX_PATH + 8];
  const DWORD n = held ? ::GetFinalPathNameByHandleW(held.get(), resolved, MAX_PATH + 8, FILE_NAME_NORMALIZED) : 0;
  if (n == 0 || n >= MAX_PATH + 8) return std::u16string(AsU16(folder.c_str()));
  std::u16string path(AsU16(resolved));
  // "\\?\K:\Games" as "K:\Games", "\\?\UNC\server\share" as "\\server\share".
  if (path.compare(0, 8, u"\\\\?\\UNC\\") == 0) return u"\\\\" + path.substr(8);
  if (path.compare(0, 4, u"\\\\?\\") == 0) return path.substr(4);
  return path;
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
  if (nearest.empty() || !wideNearest.ok()) return check;
  const std::u16string finalPath = FinalPath(wideNearest);
  wchar_t root[MAX_PATH + 1];
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  ULARGE_INTEGER available, total, totalFree;
  if (!::GetVolumePathNameW(WStr(finalPath), root, MAX_PATH + 1) ||
      !::GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) ||
      !::GetDiskFreeSpaceExW(WStr(finalPath), &available, &total, &totalFree)) {
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
