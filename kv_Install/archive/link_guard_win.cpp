#include "archive/link_guard_win.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "archive/zip_name_rules.h"
#include "archive/zip_reader.h"
#include "base/mbcs.h"
#include "base/path_names.h"
#include "base/wide.h"

#ifndef ERROR_REPARSE_POINT_ENCOUNTERED
#define ERROR_REPARSE_POINT_ENCOUNTERED 4395L
#endif

namespace {

// Held open for traversal, which counts in the sharing checks: while the
// handle is open nobody may rename or delete the folder (no FILE_SHARE_DELETE),
// while files in it are made, written and renamed as ever.
constexpr DWORD kHoldAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE OpenFolder(const wchar_t* path, DWORD flags) {
  return ::CreateFileW(path, kHoldAccess, kHoldSharing, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags,
                       nullptr);
}

// Makes path and each folder above it that is missing, outermost first.
// Failures show when the folder cannot be opened.
void MakeFolders(const char* path) {
  char prefix[MAX_PATH];
  size_t length = 0;
  for (const char* p = path;; p = MbcsNext(p)) {
    if ((*p == '\0' || IsSeparator(*p)) && length > 0 && length < sizeof prefix) {
      std::memcpy(prefix, path, length);
      prefix[length] = '\0';
      const WidePath wide(prefix);
      if (wide.ok()) (void)::CreateDirectoryW(wide.c_str(), nullptr);  // most of them exist
    }
    if (*p == '\0') return;
    length = static_cast<size_t>(MbcsNext(p) - path);
  }
}

}  // namespace

LinkGuard::LinkGuard(const char* root) : root_(root) {}
LinkGuard::~LinkGuard() = default;

void LinkGuard::NoteLinked(const std::string& folder) {
  const std::string line = "\n" + folder + "\n";
  if (("\n" + linked_).find(line) == std::string::npos) linked_.append(line, 1, std::string::npos);
}

bool LinkGuard::HoldRoot(bool make) {
  if (rootHandle_) return true;
  if (make) MakeFolders(root_.c_str());
  const WidePath wide(root_.c_str());
  // Followed: the installation folder may be a link of the user's.
  if (wide.ok()) rootHandle_.reset(OpenFolder(wide.c_str(), 0));
  return static_cast<bool>(rootHandle_);
}

uint32_t LinkGuard::Hold(const char* name, bool folderEntry, bool make) {
  FolderWalk walk;
  const bool named = UnsafePathReason(name) == nullptr && WalkFolders(name, folderEntry, &walk);
  size_t keep = named ? SharedFolders(heldName_.c_str(), held_, name, walk) : 0;
  for (size_t i = keep; i < held_.count; ++i) handles_[i].reset();
  heldName_ = name;
  held_ = walk;
  held_.count = keep;
  if (!named) {
    ::SetLastError(ERROR_INVALID_NAME);
    return ZRES_CANNOT_OPEN;
  }
  if (!HoldRoot(make)) return ZRES_CANNOT_OPEN;

  for (size_t i = keep; i < walk.count; ++i) {
    char path[MAX_PATH];
    const int n = std::snprintf(path, sizeof path, "%s\\%.*s", root_.c_str(), static_cast<int>(walk.ends[i]), name);
    const WidePath wide(path);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path || !wide.ok()) {
      ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return ZRES_CANNOT_OPEN;
    }
    if (make) (void)::CreateDirectoryW(wide.c_str(), nullptr);  // made in a held folder, then proved below
    UniqueHandle folder(OpenFolder(wide.c_str(), FILE_FLAG_OPEN_REPARSE_POINT));
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!folder || !::GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &info, sizeof info)) {
      return ZRES_CANNOT_OPEN;
    }
    switch (JudgeFolder(info.FileAttributes, info.ReparseTag, ::GetFileAttributesW(wide.c_str()))) {
      case FolderVerdict::Link:
        NoteLinked(std::string(name, walk.ends[i]));
        ::SetLastError(ERROR_REPARSE_POINT_ENCOUNTERED);
        return ZRES_LINK_IN_PATH;
      case FolderVerdict::NotFolder:
        ::SetLastError(ERROR_DIRECTORY);
        return ZRES_CANNOT_OPEN;
      case FolderVerdict::Folder:
        break;
    }
    handles_[i] = std::move(folder);
    held_.count = i + 1;
  }
  return ZRES_OK;
}
