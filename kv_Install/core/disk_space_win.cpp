#include "core/disk_space_win.h"

#include <windows.h>

#include <vector>

#include "archive/payload.h"
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

// What replacing the file at path gives back (FreedByReplacing), 0 when
// there is none.
uint64_t ExistingSize(const char* path) {
  const WidePath wide(path);
  if (!wide.ok()) return 0;
  const UniqueHandle file(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !::GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return 0;
  }
  DWORD high = 0;
  const DWORD low = ::GetCompressedFileSizeW(wide.c_str(), &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return 0;
  return FreedByReplacing(static_cast<uint64_t>(high) << 32 | low, info.nNumberOfLinks,
                          (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
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
  std::vector<PlannedFile> files;
  const auto plan = [](const char* target, uint32_t size, void* list) {
    static_cast<std::vector<PlannedFile>*>(list)->push_back({size, ExistingSize(target)});
  };
  if (!ForEachPayloadFile(installDir.c_str(), plan, &files)) return check;  // the unpacking will say why

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
  check.needBytes = SpaceNeeded(files, sectorsPerCluster * bytesPerSector);
  check.freeBytes = available.QuadPart;
  check.volume = NarrowOrPlaceholder(AsU16(root));
  check.enough = check.freeBytes >= check.needBytes;
  LogLine("disk " + check.volume + ": " + std::to_string(check.needBytes) + " bytes needed, " +
          std::to_string(check.freeBytes) + " free");
  return check;
}
