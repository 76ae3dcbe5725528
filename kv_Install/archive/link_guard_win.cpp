#include "archive/link_guard_win.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "archive/handle_files_win.h"
#include "archive/zip_name_rules.h"
#include "archive/zip_reader.h"
#include "base/mbcs.h"
#include "base/path_names.h"
#include "base/wide.h"

#ifndef ERROR_UNTRUSTED_MOUNT_POINT
#define ERROR_UNTRUSTED_MOUNT_POINT 448L
#endif
#ifndef ERROR_REPARSE_POINT_ENCOUNTERED
#define ERROR_REPARSE_POINT_ENCOUNTERED 4395L
#endif

namespace {

// Held open for traversal and listing (the temporary files an ended install
// left are found through the handle). The handle counts in the sharing
// checks: while it is open nobody may rename or delete the folder (no
// FILE_SHARE_DELETE), while files in it are made, written and renamed as ever.
constexpr DWORD kHoldAccess = FILE_TRAVERSE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
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

// The bytes of name before end that spell its last folder: those after the
// last separator before end.
size_t FolderNameStart(const char* name, size_t end) {
  size_t begin = 0;
  for (const char* p = name; static_cast<size_t>(p - name) < end; p = MbcsNext(p)) {
    if (IsSeparator(*p)) begin = static_cast<size_t>(p - name) + 1;
  }
  return begin;
}

}  // namespace

void (*theFolderHeldHook)(const char* name, size_t length) = nullptr;

LinkGuard::LinkGuard(const char* root) : root_(root) {
  const WidePath wide(root);
  rootStood_ = wide.ok() && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}
LinkGuard::~LinkGuard() = default;

void LinkGuard::NoteLinked(const std::string& folder) {
  const std::string line = "\n" + folder + "\n";
  if (("\n" + linked_).find(line) == std::string::npos) linked_.append(line, 1, std::string::npos);
}

// What the handle holds, with what its path shows by name (Wine's one sign
// of a link): ZRES_OK for a real folder. A link is noted by the first
// nameLength bytes of the held name, or by the root's path for 0.
uint32_t LinkGuard::Judge(HANDLE folder, const char* path, size_t nameLength) {
  FILE_ATTRIBUTE_TAG_INFO info;
  if (!::GetFileInformationByHandleEx(folder, FileAttributeTagInfo, &info, sizeof info)) return ZRES_CANNOT_OPEN;
  const WidePath wide(path);
  switch (JudgeFolder(info.FileAttributes, info.ReparseTag,
                      wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES)) {
    case FolderVerdict::Link:
      NoteLinked(nameLength != 0 ? heldName_.substr(0, nameLength) : root_);
      ::SetLastError(ERROR_REPARSE_POINT_ENCOUNTERED);
      return ZRES_LINK_IN_PATH;
    case FolderVerdict::NotFolder:
      ::SetLastError(ERROR_DIRECTORY);
      return ZRES_CANNOT_OPEN;
    case FolderVerdict::Folder:
      break;
  }
  return ZRES_OK;
}

uint32_t LinkGuard::HoldRoot(bool make) {
  if (rootHandle_) return ZRES_OK;
  const WidePath wide(root_.c_str());
  if (!wide.ok()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return ZRES_CANNOT_OPEN;
  }
  if (rootStood_) {
    // Followed: the installation folder may be a link of the user's.
    rootHandle_.reset(OpenFolder(wide.c_str(), 0));
    if (rootHandle_) return ZRES_OK;
    if (::GetLastError() == ERROR_UNTRUSTED_MOUNT_POINT && untrusted_.empty()) NoteUntrusted();
    return ZRES_CANNOT_OPEN;
  }
  // Made here: whatever stands at its name now is proved a real folder.
  if (make) MakeFolders(root_.c_str());
  UniqueHandle root(OpenFolder(wide.c_str(), FILE_FLAG_OPEN_REPARSE_POINT));
  if (!root) return ZRES_CANNOT_OPEN;
  const uint32_t verdict = Judge(root.get(), root_.c_str(), 0);
  if (verdict == ZRES_OK) rootHandle_ = std::move(root);
  return verdict;
}

void LinkGuard::NoteUntrusted() {
  // A path's attributes are read without following its last part: the
  // first prefix that shows a reparse point is the junction.
  for (const char* p = root_.c_str();; p = MbcsNext(p)) {
    if (*p == '\0' || (IsSeparator(*p) && p > root_.c_str() && p[-1] != ':')) {
      const std::string prefix(root_.c_str(), p);
      const WidePath wide(prefix.c_str());
      const DWORD attributes = wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        untrusted_ = prefix;
        break;
      }
    }
    if (*p == '\0') {
      untrusted_ = root_;
      break;
    }
  }
  ::SetLastError(ERROR_UNTRUSTED_MOUNT_POINT);
}

HANDLE LinkGuard::Folder() const { return held_.count > 0 ? handles_[held_.count - 1].get() : rootHandle_.get(); }

uint32_t LinkGuard::Recheck() {
  uint32_t result = ZRES_OK;
  if (rootHandle_ && !rootStood_ && Judge(rootHandle_.get(), root_.c_str(), 0) == ZRES_LINK_IN_PATH) {
    result = ZRES_LINK_IN_PATH;
  }
  char path[MAX_PATH];
  for (size_t i = 0; i < held_.count; ++i) {
    const int n = std::snprintf(path, sizeof path, "%s\\%.*s", root_.c_str(), static_cast<int>(held_.ends[i]),
                                heldName_.c_str());
    if (n > 0 && static_cast<size_t>(n) < sizeof path &&
        Judge(handles_[i].get(), path, held_.ends[i]) == ZRES_LINK_IN_PATH) {
      result = ZRES_LINK_IN_PATH;
    }
  }
  if (result != ZRES_OK) ::SetLastError(ERROR_REPARSE_POINT_ENCOUNTERED);
  return result;
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
  const uint32_t root = HoldRoot(make);
  if (root != ZRES_OK) return root;

  for (size_t i = keep; i < walk.count; ++i) {
    // Made and opened by its own name in the held folder above it; its path
    // only to ask what it shows by name.
    const size_t end = walk.ends[i];
    const size_t begin = FolderNameStart(name, end);
    char path[MAX_PATH];
    const int n = std::snprintf(path, sizeof path, "%s\\%.*s", root_.c_str(), static_cast<int>(end), name);
    const WidePath folderName(std::string(name + begin, end - begin).c_str());
    if (n < 0 || static_cast<size_t>(n) >= sizeof path || !folderName.ok()) {
      ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return ZRES_CANNOT_OPEN;
    }
    UniqueHandle folder = OpenFolderIn(i == 0 ? rootHandle_.get() : handles_[i - 1].get(), folderName.c_str(),
                                       kHoldAccess, kHoldSharing, make);
    if (!folder) return ZRES_CANNOT_OPEN;
    const uint32_t verdict = Judge(folder.get(), path, end);
    if (verdict != ZRES_OK) return verdict;
    handles_[i] = std::move(folder);
    held_.count = i + 1;
    if (theFolderHeldHook != nullptr) theFolderHeldHook(name, end);
  }
  return ZRES_OK;
}
