#include "archive/payload.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "archive/link_guard_win.h"
#include "archive/zip_extract_win.h"
#include "archive/zip_name_rules.h"
#include "archive/zip_reader.h"
#include "base/path_names.h"
#include "base/wide.h"
#include "res/resource.h"

namespace {

// True when name stays below the folder it is joined to: not absolute and
// no ".." component. The reader already strips these; an archive made to slip
// past its cleaning must still not write outside the install folder.
bool StaysInsideFolder(const char* name) { return !IsAbsolutePath(name) && !HasParentComponent(name); }

// An install that was ended while it unpacked leaves a temporary file beside
// the target it was writing. They go before this unpacking writes, and only
// from the folders below folder that the archive writes files into. Entries
// of one folder mostly stand together; a folder met again is searched again,
// which removes nothing more. Nothing is removed through a link.
void RemoveLeftTempFiles(ZipHandle* handle, int32_t count, const char* folder, LinkGuard& guard) {
  char path[MAX_PATH];
  char searched[MAX_PATH] = "";  // the folder searched last
  ZipEntryInfo info;
  for (int32_t index = 0; index < count; ++index) {
    std::memset(&info, 0, sizeof info);
    if (ZipGetEntry(handle, index, &info) != ZRES_OK || (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !StaysInsideFolder(info.name) || UnsafePathReason(info.name) != nullptr) {
      continue;
    }
    const int n = std::snprintf(path, sizeof path, "%s\\%.*s", folder, static_cast<int>(FolderPartLength(info.name)),
                                info.name);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof path || std::strcmp(path, searched) == 0) continue;
    if (guard.Hold(info.name, false, false) != ZRES_OK) continue;
    (void)ZipRemoveTempFilesIn(guard.Folder());
    std::memcpy(searched, path, static_cast<size_t>(n) + 1);
  }
}

// Writes one entry. Its folders are made here, each held and proved no link
// before the next; a file is then made, written and renamed in its held
// folder by handle, never by path. entry->bytes is what is on disk once a
// file is in place, not what the archive says the entry holds.
void UnpackEntry(ZipHandle* handle, const char* folder, LinkGuard& guard, ZipEntryInfo* info,
                 char (&target)[MAX_PATH], UnpackObserver* observer, UnpackedEntry* entry) {
  entry->result = ZipGetEntry(handle, entry->index, info);
  if (entry->result != ZRES_OK) return;
  entry->name = info->name;
  entry->folder = (info->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!StaysInsideFolder(info->name)) {
    entry->result = ZRES_CANNOT_OPEN;
    return;
  }
  const int n = std::snprintf(target, sizeof target, "%s\\%s", folder, info->name);
  if (n < 0 || static_cast<size_t>(n) >= sizeof target) {
    target[0] = '\0';
    entry->result = ZRES_CANNOT_OPEN;
    return;
  }
  entry->target = target;
  entry->result = guard.Hold(info->name, entry->folder, true);
  if (entry->result != ZRES_OK) return;
  if (!entry->folder) {
    entry->result = ZipExtractFileIn(handle, entry->index, guard.Folder(), info->name + FolderPartLength(info->name),
                                     target, observer, &entry->heldMs, &entry->bytes);
  }
  // A folder made a link since its check could not steer the write, but is
  // said as a link all the same.
  const DWORD why = ::GetLastError();
  if (guard.Recheck() == ZRES_LINK_IN_PATH) {
    entry->result = ZRES_LINK_IN_PATH;
  } else {
    ::SetLastError(why);
  }
}

}  // namespace

PayloadResult UnpackArchive(ZipHandle* handle, const char* folder, UnpackObserver* observer) {
  PayloadResult result;
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  if (handle == nullptr || ZipGetEntry(handle, -1, &info) != ZRES_OK) return result;
  result.opened = true;
  result.entryCount = info.index;
  LinkGuard guard(folder);
  RemoveLeftTempFiles(handle, result.entryCount, folder, guard);
  (void)ZipStartReadAhead(handle);  // entries are decoded ahead while each is written; without it, as before
  char target[MAX_PATH];
  for (int32_t index = 0; index < result.entryCount; ++index) {
    std::memset(&info, 0, sizeof info);
    target[0] = '\0';
    UnpackedEntry entry;
    entry.index = index;
    UnpackEntry(handle, folder, guard, &info, target, observer, &entry);
    // The failure's system error, before anything else can change it.
    if (entry.result != ZRES_OK) entry.systemError = ::GetLastError();
    result.writtenBytes += entry.bytes;
    if (entry.result != ZRES_OK) ++result.failedCount;
    if (entry.result == ZRES_FILE_HELD) ++result.heldCount;
    if (observer != nullptr) observer->EntryDone(entry);
  }
  result.linkedFolders = guard.LinkedFolders();
  result.untrustedJunction = guard.UntrustedJunction();
  return result;
}

// The archive is read in place from the module's resource memory, which
// stays mapped for the life of the process. Null when it cannot be opened.
ZipHandle* OpenEmbeddedPayload() {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_PAYLOAD_ZIP), L"ZIP");
  HGLOBAL loaded = resource != nullptr ? ::LoadResource(module, resource) : nullptr;
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  const DWORD size = resource != nullptr ? ::SizeofResource(module, resource) : 0;
  return data != nullptr ? ZipOpenMemory(data, size) : nullptr;
}

PayloadResult UnpackPayload(const char* installDir, UnpackObserver* observer) {
  ZipHandle* handle = OpenEmbeddedPayload();
  if (handle == nullptr) return PayloadResult{};
  const PayloadResult result = UnpackArchive(handle, installDir, observer);
  (void)ZipClose(handle);  // always ZRES_OK
  return result;
}

size_t LongestEntryPath(ZipHandle* handle) {
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  if (handle == nullptr || ZipGetEntry(handle, -1, &info) != ZRES_OK) return 0;
  const int32_t count = info.index;
  size_t longest = 0;
  for (int32_t index = 0; index < count; ++index) {
    if (ZipGetEntry(handle, index, &info) != ZRES_OK) continue;
    size_t length = std::strlen(info.name);
    if ((info.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {  // a file: its temporary name too
      length = std::max(length, FolderPartLength(info.name) + kZipTempNameLength);
    }
    longest = std::max(longest, length);
  }
  return longest;
}

size_t LongestPayloadEntryPath() {
  ZipHandle* handle = OpenEmbeddedPayload();
  const size_t longest = LongestEntryPath(handle);
  if (handle != nullptr) (void)ZipClose(handle);
  return longest;
}
