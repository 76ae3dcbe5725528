// Writing one archive entry to disk: the folders on the way, then the data in
// output-buffer chunks to a temporary file that replaces the target only once
// the entry has proved whole, then its attributes.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "archive/handle_files_win.h"
#include "archive/held_wait.h"
#include "archive/zip_extract_win.h"
#include "archive/zip_name_rules.h"
#include "archive/zip_reader.h"
#include "base/handles.h"
#include "base/path_names.h"
#include "base/wide.h"

namespace {

// Every path handled here lives in a buffer of the system's path limit.
constexpr size_t kPathSize = MAX_PATH;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

// A new, empty file "~kvXXXX.tmp" in folder, open for writing and renaming.
// Its length does not depend on the entry's name.
UniqueHandle CreateTempFile(HANDLE folder) {
  static unsigned next = ::GetTickCount() ^ ::GetCurrentProcessId();
  for (int attempt = 0; attempt < 64; ++attempt) {
    wchar_t name[] = L"~kvXXXX.tmp";
    static_assert(sizeof "~kvXXXX.tmp" - 1 == kZipTempNameLength, "the temporary name's length is fixed");
    const unsigned number = ++next & 0xFFFF;
    for (int digit = 0; digit < 4; ++digit) name[3 + digit] = L"0123456789ABCDEF"[number >> (12 - 4 * digit) & 15];
    UniqueHandle file = CreateFileIn(folder, name, GENERIC_WRITE | DELETE, 0, FILE_ATTRIBUTE_NORMAL);
    if (file) return file;
    if (::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return UniqueHandle();
}

// Whether name, as the file system lists it, is one CreateTempFile makes;
// if so, its (ASCII) GBK form into narrow. name has at least
// kZipTempNameLength + 1 characters, or ends sooner.
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
uint32_t WriteVerifiedCopy(ZipHandle* handle, int32_t index, const ZipEntryInfo& info, HANDLE file) {
  if (ZipOpenEntry(handle, index) != ZST_OK) return ZRES_DECOMPRESS_FAILED;
  uint32_t result = CopyEntryData(handle, file, info);
  // Data that disagrees with its directory record is a failure, even when
  // every byte could be inflated.
  const int32_t status = ZipCloseEntry(handle);
  if (result == ZRES_OK && (status == ZST_CRC_MISMATCH || status == ZST_BAD_DATA)) result = ZRES_BAD_DATA;
  return result;
}

// Attributes a file keeps from its entry once it is in place.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Why the file at name in folder refused to be replaced with error: read
// back through the folder's handle.
ReplaceRefusal ReadRefusal(HANDLE folder, const wchar_t* name, DWORD error) {
  ReplaceRefusal refusal;
  refusal.error = error;
  const UniqueHandle target = OpenFileIn(folder, name, FILE_READ_ATTRIBUTES, kShareAll);
  FILE_BASIC_INFO basic;
  if (target && ::GetFileInformationByHandleEx(target.get(), FileBasicInfo, &basic, sizeof basic)) {
    refusal.readOnly = (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  }
  if (error == ERROR_ACCESS_DENIED && !refusal.readOnly) {
    refusal.deleteOpenError = OpenFileIn(folder, name, DELETE, kShareAll) ? 0 : ::GetLastError();
    if (refusal.deleteOpenError == 0) {
      refusal.writeOpenError = OpenFileIn(folder, name, FILE_WRITE_DATA, kShareAll) ? 0 : ::GetLastError();
    }
  }
  return refusal;
}

// Gives the verified copy the target's name in folder, replacing what is
// there. A target another program holds is tried again after each pause of
// a round within the run's budget; then the waiter decides whether another
// round follows. Without a waiter a held file fails at once.
uint32_t ReplaceTarget(HANDLE temp, HANDLE folder, const wchar_t* name, const char* path, ZipHeldFileWaiter* waiter,
                       uint32_t* heldMs) {
  const DWORD firstTry = ::GetTickCount();
  bool held = false;
  for (;;) {
    if (RenameInto(temp, folder, name, true)) break;
    const DWORD error = ::GetLastError();
    if (waiter == nullptr || !IsHeldFile(ReadRefusal(folder, name, error))) {
      if (held) waiter->HeldBudget().EndRound(::GetTickCount());
      ::SetLastError(error);
      return ZRES_CANNOT_OPEN;
    }
    RunHeldBudget& budget = waiter->HeldBudget();
    if (!held) budget.BeginRound(firstTry, false);
    held = true;
    const uint32_t pause = budget.NextPause(::GetTickCount());
    if (pause != 0) {
      ::Sleep(pause);
      continue;
    }
    budget.EndRound(::GetTickCount());
    if (!waiter->WaitAgain(path, error)) {
      if (heldMs != nullptr) *heldMs = ::GetTickCount() - firstTry;
      ::SetLastError(error);
      return ZRES_FILE_HELD;
    }
    budget.BeginRound(::GetTickCount(), true);
  }
  // Only a target that was held has been waited for.
  if (held) {
    waiter->HeldBudget().EndRound(::GetTickCount());
    if (heldMs != nullptr) *heldMs = ::GetTickCount() - firstTry;
  }
  return ZRES_OK;
}

// Opens a folder by its path for ZipExtractEntry's callers, following links
// as any path does; "" is the current folder.
UniqueHandle OpenFolderByPath(const char* path) {
  const WidePath wide(path[0] != '\0' ? path : ".");
  if (!wide.ok()) return UniqueHandle();
  return UniqueHandle(::CreateFileW(wide.c_str(), FILE_TRAVERSE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

uint32_t ExtractFile(ZipHandle* handle, int32_t index, const char* base, const char* target,
                     ZipHeldFileWaiter* waiter, uint32_t* heldMs) {
  // Split at the last separator: folder part with its separator, name part.
  const char* separator = FindLastSeparator(target);
  const char* name = separator != nullptr ? separator + 1 : target;
  const size_t folderLength = static_cast<size_t>(name - target);
  if (name[0] == '\0' || folderLength >= kPathSize) return ZRES_CANNOT_OPEN;
  char folder[kPathSize];
  std::memcpy(folder, target, folderLength);
  folder[folderLength] = '\0';

  // Relative folders are resolved against the base folder. The whole path
  // must fit the limit, as any path the user may later open.
  const bool relative = !IsAbsolutePath(folder);
  char path[kPathSize];
  char folderPath[kPathSize];
  if (!JoinPath(path, relative ? base : "", folder, name)) return ZRES_CANNOT_OPEN;
  if (!JoinPath(folderPath, relative ? base : "", folder)) return ZRES_CANNOT_OPEN;
  CreateFolderChain(relative ? base : nullptr, folder);
  const UniqueHandle held = OpenFolderByPath(folderPath);
  if (!held) return ZRES_CANNOT_OPEN;
  return ZipExtractFileIn(handle, index, held.get(), name, target, waiter, heldMs, nullptr);
}

}  // namespace

uint32_t ZipExtractFileIn(ZipHandle* handle, int32_t index, HANDLE folder, const char* name, const char* shownPath,
                          ZipHeldFileWaiter* waiter, uint32_t* heldMs, uint64_t* bytes) {
  if (heldMs != nullptr) *heldMs = 0;
  if (bytes != nullptr) *bytes = 0;
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  if (ZipGetEntry(handle, index, &info) != ZRES_OK) return ZRES_BAD_ARGUMENT;
  const WidePath leaf(name);
  if (!leaf.ok() || UnsafePathReason(name) != nullptr) {
    ::SetLastError(ERROR_INVALID_NAME);
    return ZRES_CANNOT_OPEN;
  }

  // What is there now stays until the new data have proved whole: a
  // read-only file is refused before any work.
  {
    const UniqueHandle existing = OpenFileIn(folder, leaf.c_str(), FILE_READ_ATTRIBUTES, kShareAll);
    FILE_BASIC_INFO basic;
    if (existing && ::GetFileInformationByHandleEx(existing.get(), FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      return ZRES_CANNOT_OPEN;
    }
  }

  // The data go to a temporary file beside the target, which then takes
  // its name; all of it through the folder's handle, never by path.
  const UniqueHandle file = CreateTempFile(folder);
  if (!file) return ZRES_CANNOT_OPEN;
  uint32_t result = WriteVerifiedCopy(handle, index, info, file.get());
  // Replacing fails as writing over it would have: a read-only file, a file
  // a running program holds open (waited for, when the caller says how).
  if (result == ZRES_OK) result = ReplaceTarget(file.get(), folder, leaf.c_str(), shownPath, waiter, heldMs);
  if (result != ZRES_OK) {
    const DWORD why = ::GetLastError();
    FILE_DISPOSITION_INFO gone = {TRUE};  // nothing of a failed entry stays behind
    (void)::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone);
    ::SetLastError(why);  // the failure's, for whoever says why
    return result;
  }
  // Through the handle that named the copy, now the file in place.
  const DWORD attributes = info.attributes & kKeptAttributes;
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  (void)::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);  // the data are in place
  LARGE_INTEGER size;
  if (bytes != nullptr && ::GetFileSizeEx(file.get(), &size)) *bytes = static_cast<uint64_t>(size.QuadPart);
  return ZRES_OK;
}

int ZipRemoveTempFilesIn(HANDLE folder) {
  alignas(8) unsigned char buffer[16384];
  int removed = 0;
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
       ::GetFileInformationByHandleEx(folder, kind, buffer, sizeof buffer); kind = FileIdBothDirectoryInfo) {
    for (size_t at = 0; at + sizeof(FILE_ID_BOTH_DIR_INFO) <= sizeof buffer;) {
      const auto* found = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
      wchar_t name[kZipTempNameLength + 1];
      char narrow[kZipTempNameLength + 1];
      if (found->FileNameLength == kZipTempNameLength * sizeof(wchar_t) &&
          (found->FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0) {
        std::memcpy(name, found->FileName, found->FileNameLength);
        name[kZipTempNameLength] = L'\0';
        if (IsTempFileName(name, narrow) && DeleteIn(folder, name)) ++removed;
      }
      if (found->NextEntryOffset == 0) break;
      at += found->NextEntryOffset;
    }
  }
  return removed;
}

int ZipRemoveTempFiles(const char* folder) {
  const UniqueHandle held = OpenFolderByPath(folder);
  return held ? ZipRemoveTempFilesIn(held.get()) : 0;
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
  return ExtractFile(handle, index, base, target, waiter, heldMs);
}
