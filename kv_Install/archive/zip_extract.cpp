// Writing one archive entry to disk: the folders on the way, the file with the
// entry's attributes, its data in output-buffer chunks, then its times.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "archive/zip_reader.h"
#include "core/mbcs.h"

namespace {

// Every path handled here lives in a buffer of the system's path limit.
constexpr size_t kPathSize = MAX_PATH;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A path that names its own root: "\x", "/x" or "C:...".
bool IsAbsolutePath(const char* path) {
  return IsSeparator(path[0]) || (path[0] != '\0' && path[1] == ':');
}

// Last '\' or '/' that starts a character in code page 936, or null. The trail
// byte of a double-byte character may be 0x5C and is skipped with its lead.
const char* FindLastSeparator(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = MbcsNext(p)) {
    if (IsSeparator(*p)) last = p;
  }
  return last;
}

// Joins up to three parts into out (kPathSize bytes). False, with out empty,
// when the result would not fit; nothing is ever cut short.
bool JoinPath(char* out, const char* a, const char* b, const char* c = "") {
  const int n = std::snprintf(out, kPathSize, "%s%s%s", a, b, c);
  if (n < 0 || static_cast<size_t>(n) >= kPathSize) {
    out[0] = '\0';
    return false;
  }
  return true;
}

void CreateFolderIfMissing(const char* path) {
  if (::GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    (void)::CreateDirectoryA(path, nullptr);  // a failure shows when the file cannot be created
  }
}

// Creates base (when given) and every folder of the chain in folder, outermost
// first. Failures are silent. Callers have checked that base + folder fits a
// path buffer; a candidate that would not fit is skipped all the same.
void CreateFolderChain(const char* base, const char* folder) {
  if (base != nullptr) CreateFolderIfMissing(base);
  if (folder[0] == '\0') return;

  const char* separator = FindLastSeparator(folder);
  if (separator != nullptr && separator > folder) {
    char parent[kPathSize];
    const size_t length = static_cast<size_t>(separator - folder);
    if (length < kPathSize) {
      std::memcpy(parent, folder, length);
      parent[length] = '\0';
      CreateFolderChain(base, parent);
    }
  }

  char candidate[kPathSize];
  if (JoinPath(candidate, base != nullptr ? base : "", folder)) CreateFolderIfMissing(candidate);
}

uint32_t ExtractFolder(const char* base, const char* target) {
  char candidate[kPathSize];
  const bool absolute = IsAbsolutePath(target);
  if (!JoinPath(candidate, absolute ? "" : base, target)) return ZRES_CANNOT_OPEN;
  CreateFolderChain(absolute ? nullptr : base, target);
  return ZRES_OK;
}

// Streams the open entry into file; ZRES_OK once the end has been written
// and the times set.
uint32_t CopyEntryData(ZipHandle* handle, HANDLE file, const ZipEntryInfo& info) {
  uint8_t* buffer = ZipOutputBuffer(handle);
  if (buffer == nullptr) return ZRES_DECOMPRESS_FAILED;
  for (;;) {
    bool end = false;
    const int32_t count = ZipReadEntry(handle, buffer, kZipBufferSize, &end);
    if (count == ZST_BAD_PASSWORD) return ZRES_BAD_PASSWORD;
    // The stream checks the CRC-32 and the length as it delivers the end.
    if (count == ZST_CRC_MISMATCH || count == ZST_BAD_DATA) return ZRES_BAD_DATA;
    if (count < 0) return ZRES_DECOMPRESS_FAILED;
    if (count > 0) {
      DWORD written = 0;
      if (!::WriteFile(file, buffer, static_cast<DWORD>(count), &written, nullptr) ||
          written != static_cast<DWORD>(count)) {
        return ZRES_WRITE_FAILED;
      }
    }
    if (end) {
      FILETIME creation = {info.creationTime.dwLowDateTime, info.creationTime.dwHighDateTime};
      FILETIME access = {info.accessTime.dwLowDateTime, info.accessTime.dwHighDateTime};
      FILETIME write = {info.writeTime.dwLowDateTime, info.writeTime.dwHighDateTime};
      (void)::SetFileTime(file, &creation, &access, &write);  // the data is what matters
      return ZRES_OK;
    }
    if (count == 0) return ZRES_DECOMPRESS_FAILED;
  }
}

uint32_t ExtractFile(ZipHandle* handle, int32_t index, const ZipEntryInfo& info, const char* base,
                     const char* target) {
  // Split at the last separator: folder part with its separator, name part.
  const char* separator = FindLastSeparator(target);
  const char* name = separator != nullptr ? separator + 1 : target;
  const size_t folderLength = static_cast<size_t>(name - target);
  if (name[0] == '\0' || folderLength >= kPathSize) return ZRES_CANNOT_OPEN;
  char folder[kPathSize];
  std::memcpy(folder, target, folderLength);
  folder[folderLength] = '\0';

  // Relative folders are resolved against the base folder. Every folder
  // candidate is a prefix of the file path, so one length check covers all.
  const bool relative = !IsAbsolutePath(folder);
  char path[kPathSize];
  if (!JoinPath(path, relative ? base : "", folder, name)) return ZRES_CANNOT_OPEN;
  CreateFolderChain(relative ? base : nullptr, folder);

  HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, info.attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ZRES_CANNOT_OPEN;

  uint32_t result = ZRES_DECOMPRESS_FAILED;
  const bool opened = ZipOpenEntry(handle, index) == ZST_OK;
  if (opened) result = CopyEntryData(handle, file, info);
  ::CloseHandle(file);
  if (opened) {
    // Data that disagrees with its directory record is a failure, even when
    // every byte could be inflated.
    const int32_t status = ZipCloseEntry(handle);
    if (result == ZRES_OK && (status == ZST_CRC_MISMATCH || status == ZST_BAD_DATA)) result = ZRES_BAD_DATA;
  }
  return result;
}

}  // namespace

// Writes entry index to target: a folder entry creates its folder chain, a
// file entry replaces any file there and takes the entry's attributes and
// times. Relative targets are resolved against the base folder of the
// handle. A target that does not fit the path limit is refused with
// ZRES_CANNOT_OPEN before anything is created.
uint32_t ZipExtractEntry(ZipHandle* handle, int32_t index, const char* target) {
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  uint32_t result = ZipGetEntry(handle, -1, &info);
  if (result != ZRES_OK) return result;
  if (index < 0 || index >= info.index || target == nullptr) return ZRES_BAD_ARGUMENT;

  result = ZipGetEntry(handle, index, &info);
  if (result != ZRES_OK) return result;

  const char* base = ZipBaseFolder(handle);
  if (base == nullptr) base = "";
  if (info.attributes & FILE_ATTRIBUTE_DIRECTORY) return ExtractFolder(base, target);
  return ExtractFile(handle, index, info, base, target);
}
