#include "archive/payload.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

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
// which removes nothing more.
void RemoveLeftTempFiles(ZipHandle* handle, int32_t count, const char* folder) {
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
    (void)ZipRemoveTempFiles(path);
    std::memcpy(searched, path, static_cast<size_t>(n) + 1);
  }
}

// Adds the size of a file entry put in place to *written: what is on disk
// now, not what the archive says the entry holds.
uint32_t UnpackEntry(ZipHandle* handle, int32_t index, const char* folder, ZipEntryInfo* info, uint64_t* written) {
  uint32_t result = ZipGetEntry(handle, index, info);
  if (result != ZRES_OK) return result;
  if (!StaysInsideFolder(info->name)) return ZRES_CANNOT_OPEN;
  char target[MAX_PATH];
  const int n = std::snprintf(target, sizeof target, "%s\\%s", folder, info->name);
  if (n < 0 || static_cast<size_t>(n) >= sizeof target) return ZRES_CANNOT_OPEN;
  result = ZipExtractEntry(handle, index, target);
  // Asked by the UTF-16 name: the narrow call would read the GBK path in the
  // system's code page and, off 936, find no file under a Chinese name.
  const WidePath widePath(target);
  WIN32_FILE_ATTRIBUTE_DATA file;
  if (result == ZRES_OK && widePath.ok() && ::GetFileAttributesExW(widePath.c_str(), GetFileExInfoStandard, &file) &&
      (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    *written += static_cast<uint64_t>(file.nFileSizeHigh) << 32 | file.nFileSizeLow;
  }
  return result;
}

}  // namespace

PayloadResult UnpackArchive(ZipHandle* handle, const char* folder, UnpackFailureFn onFailure, void* context) {
  PayloadResult result;
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  if (handle == nullptr || ZipGetEntry(handle, -1, &info) != ZRES_OK) return result;
  result.opened = true;
  result.entryCount = info.index;
  RemoveLeftTempFiles(handle, result.entryCount, folder);
  for (int32_t index = 0; index < result.entryCount; ++index) {
    std::memset(&info, 0, sizeof info);
    const uint32_t code = UnpackEntry(handle, index, folder, &info, &result.writtenBytes);
    if (code == ZRES_OK) continue;
    ++result.failedCount;
    if (onFailure != nullptr) onFailure(index, info.name, code, context);
  }
  return result;
}

namespace {

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

}  // namespace

PayloadResult UnpackPayload(const char* installDir, UnpackFailureFn onFailure, void* context) {
  ZipHandle* handle = OpenEmbeddedPayload();
  if (handle == nullptr) return PayloadResult{};
  const PayloadResult result = UnpackArchive(handle, installDir, onFailure, context);
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
