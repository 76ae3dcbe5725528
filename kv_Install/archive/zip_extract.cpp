// Writing one archive entry to disk: the folders on the way, then the data in
// output-buffer chunks to a temporary file that replaces the target only once
// the entry has proved whole, then its attributes.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "archive/held_wait.h"
#include "archive/zip_name_rules.h"
#include "archive/zip_reader.h"
#include "base/handles.h"
#include "base/path_names.h"
#include "base/wide.h"

namespace {

// Every path handled here lives in a buffer of the system's path limit.
constexpr size_t kPathSize = MAX_PATH;

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

// The attributes of a GBK path, INVALID_FILE_ATTRIBUTES when it is missing
// or cannot be named.
DWORD AttributesOf(const char* path) {
  const WidePath wide(path);
  return wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

void CreateFolderIfMissing(const char* path) {
  const WidePath wide(path);
  if (wide.ok() && ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
    (void)::CreateDirectoryW(wide.c_str(), nullptr);  // a failure shows when the file cannot be created
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

// ZRES_OK only when the folder stands at the end: a file of the same name in
// its place, or a parent that could not be made, fails the entry.
uint32_t ExtractFolder(const char* base, const char* target) {
  char candidate[kPathSize];
  const bool absolute = IsAbsolutePath(target);
  if (!JoinPath(candidate, absolute ? "" : base, target)) return ZRES_CANNOT_OPEN;
  CreateFolderChain(absolute ? nullptr : base, target);
  const DWORD attributes = AttributesOf(candidate);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ZRES_CANNOT_OPEN;
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
    if (count == ZST_NO_MEMORY) ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // an LZMA window over the limit, or none
    if (count < 0) return ZRES_DECOMPRESS_FAILED;
    if (count > 0) {
      DWORD written = 0;
      if (!::WriteFile(file, buffer, static_cast<DWORD>(count), &written, nullptr)) return ZRES_WRITE_FAILED;
      if (written != static_cast<DWORD>(count)) {
        // A short count is how a filling disk answers first; the next write
        // would say so. Said now, or the failure would carry no reason.
        ::SetLastError(ERROR_DISK_FULL);
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

// A new, empty file "~kvXXXX.tmp" in folderPath (which ends in a separator,
// or is empty for the current folder), its name in temp. Its length does not
// depend on the entry's name.
UniqueHandle CreateTempFile(const char* folderPath, char* temp) {
  static unsigned next = ::GetTickCount() ^ ::GetCurrentProcessId();
  for (int attempt = 0; attempt < 64; ++attempt) {
    const int n = std::snprintf(temp, kPathSize, "%s~kv%04X.tmp", folderPath, ++next & 0xFFFF);
    static_assert(sizeof "~kvXXXX.tmp" - 1 == kZipTempNameLength, "the temporary name's length is fixed");
    if (n < 0 || static_cast<size_t>(n) >= kPathSize) break;
    const WidePath wide(temp);
    if (!wide.ok()) break;
    UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    if (::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  temp[0] = '\0';
  return UniqueHandle();
}

// Whether name, as the file system lists it, is one CreateTempFile makes;
// if so, its (ASCII) GBK form into narrow.
bool IsTempFileName(const wchar_t* name, char (&narrow)[kZipTempNameLength + 1]) {
  static const char kPattern[] = "~kv????.tmp";
  for (size_t i = 0; i <= kZipTempNameLength; ++i) {
    const wchar_t c = name[i];
    const bool hex = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
    if (kPattern[i] == '?' ? !hex : c != static_cast<unsigned char>(kPattern[i])) return false;
    narrow[i] = static_cast<char>(c);
  }
  return true;
}

// Writes the entry's data, verified, into the new temporary file.
uint32_t WriteVerifiedCopy(ZipHandle* handle, int32_t index, const ZipEntryInfo& info, UniqueHandle file) {
  if (ZipOpenEntry(handle, index) != ZST_OK) return ZRES_DECOMPRESS_FAILED;
  uint32_t result = CopyEntryData(handle, file.get(), info);
  // Data that disagrees with its directory record is a failure, even when
  // every byte could be inflated.
  const int32_t status = ZipCloseEntry(handle);
  if (result == ZRES_OK && (status == ZST_CRC_MISMATCH || status == ZST_BAD_DATA)) result = ZRES_BAD_DATA;
  return result;
}

// Attributes a file keeps from its entry once it is in place.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Moves the verified copy over the target. A target another program holds
// is tried again after each pause of a round; then the waiter decides
// whether another round follows. Without a waiter a held file fails at once.
uint32_t ReplaceTarget(const WidePath& temp, const WidePath& target, const char* path, ZipHeldFileWaiter* waiter,
                       uint32_t* heldMs) {
  const DWORD firstTry = ::GetTickCount();
  DWORD roundStart = firstTry;
  HeldFileWait wait;
  bool held = false;
  for (;;) {
    if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) break;
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (waiter == nullptr || !IsHeldFileError(error, readOnly)) {
      ::SetLastError(error);
      return ZRES_CANNOT_OPEN;
    }
    held = true;
    const uint32_t pause = wait.NextPause(::GetTickCount() - roundStart);
    if (pause != 0) {
      ::Sleep(pause);
      continue;
    }
    if (!waiter->WaitAgain(path, error)) {
      if (heldMs != nullptr) *heldMs = ::GetTickCount() - firstTry;
      ::SetLastError(error);
      return ZRES_FILE_HELD;
    }
    wait = HeldFileWait();
    roundStart = ::GetTickCount();
  }
  // Only a target that was held has been waited for.
  if (heldMs != nullptr && held) *heldMs = ::GetTickCount() - firstTry;
  return ZRES_OK;
}

uint32_t ExtractFile(ZipHandle* handle, int32_t index, const ZipEntryInfo& info, const char* base,
                     const char* target, ZipHeldFileWaiter* waiter, uint32_t* heldMs) {
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
  char folderPath[kPathSize];
  if (!JoinPath(path, relative ? base : "", folder, name)) return ZRES_CANNOT_OPEN;
  if (!JoinPath(folderPath, relative ? base : "", folder)) return ZRES_CANNOT_OPEN;
  CreateFolderChain(relative ? base : nullptr, folder);

  // What is there now stays until the new data have proved whole: a
  // read-only file or a folder in the way is refused before any work.
  const DWORD existing = AttributesOf(path);
  if (existing != INVALID_FILE_ATTRIBUTES &&
      (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return ZRES_CANNOT_OPEN;
  }

  // The data go to a temporary file beside the target, which then replaces it.
  char temp[kPathSize];
  UniqueHandle file = CreateTempFile(folderPath, temp);
  if (!file) return ZRES_CANNOT_OPEN;
  uint32_t result = WriteVerifiedCopy(handle, index, info, std::move(file));  // closed on return
  // Replacing fails as writing over it would have: a read-only file, a file
  // a running program holds open (waited for, when the caller says how).
  const WidePath wideTemp(temp), widePath(path);  // both checked by the caller
  if (result == ZRES_OK) result = ReplaceTarget(wideTemp, widePath, path, waiter, heldMs);
  if (result != ZRES_OK) {
    const DWORD why = ::GetLastError();
    (void)::DeleteFileW(wideTemp.c_str());  // nothing of a failed entry stays behind
    ::SetLastError(why);  // the failure's, for whoever says why
    return result;
  }
  // Through a handle to what now stands at the target, never through a link
  // swapped in since the move: the link itself would take the bits.
  const DWORD attributes = info.attributes & kKeptAttributes;
  const UniqueHandle placed(::CreateFileW(widePath.c_str(), FILE_WRITE_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  if (placed) (void)::SetFileInformationByHandle(placed.get(), FileBasicInfo, &basic, sizeof basic);  // the data are in place
  return ZRES_OK;
}

}  // namespace

int ZipRemoveTempFiles(const char* folder) {
  // Empty is the current folder; a folder that ends in a separator takes none.
  const char* last = FindLastSeparator(folder);
  const char* separator = folder[0] == '\0' || (last != nullptr && last[1] == '\0') ? "" : "\\";
  char pattern[kPathSize];
  if (!JoinPath(pattern, folder, separator, "~kv????.tmp")) return 0;
  const WidePath widePattern(pattern);
  if (!widePattern.ok()) return 0;
  WIN32_FIND_DATAW found;
  const UniqueFindHandle search(::FindFirstFileW(widePattern.c_str(), &found));
  if (!search) return 0;
  int removed = 0;
  do {
    // The search matches other cases and short 8.3 names as well: each hit
    // is judged by its own name.
    char name[kZipTempNameLength + 1];
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0 ||
        !IsTempFileName(found.cFileName, name)) {
      continue;
    }
    char path[kPathSize];
    if (!JoinPath(path, folder, separator, name)) continue;
    const WidePath widePath(path);
    if (widePath.ok() && ::DeleteFileW(widePath.c_str())) ++removed;
  } while (::FindNextFileW(search.get(), &found));
  return removed;
}

// Writes entry index to target: a folder entry creates its folder chain, a
// file entry replaces any file there and takes the entry's attributes and
// times. Relative targets are resolved against the base folder of the
// handle. A target that does not fit the path limit is refused with
// ZRES_CANNOT_OPEN before anything is created.
uint32_t ZipExtractEntry(ZipHandle* handle, int32_t index, const char* target) {
  return ZipExtractEntryWaiting(handle, index, target, nullptr, nullptr);
}

uint32_t ZipExtractEntryWaiting(ZipHandle* handle, int32_t index, const char* target, ZipHeldFileWaiter* waiter,
                                uint32_t* heldMs) {
  if (heldMs != nullptr) *heldMs = 0;
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  uint32_t result = ZipGetEntry(handle, -1, &info);
  if (result != ZRES_OK) return result;
  if (index < 0 || index >= info.index || target == nullptr) return ZRES_BAD_ARGUMENT;

  result = ZipGetEntry(handle, index, &info);
  if (result != ZRES_OK) return result;

  const char* base = ZipBaseFolder(handle);
  if (base == nullptr) base = "";
  // A device or an NTFS stream would take the data and leave no file; a
  // path that is not GBK text names no file at all.
  if (UnsafePathReason(target) != nullptr || !WidePath(target).ok() || !WidePath(base).ok()) return ZRES_CANNOT_OPEN;
  if (info.attributes & FILE_ATTRIBUTE_DIRECTORY) return ExtractFolder(base, target);
  return ExtractFile(handle, index, info, base, target, waiter, heldMs);
}
