#include "archive/handle_files_win.h"

#include <winternl.h>

#include <cstddef>
#include <cstring>

namespace {

#ifndef STATUS_OBJECT_NAME_COLLISION
constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = static_cast<NTSTATUS>(0xC0000035L);
#endif
constexpr ULONG kFileDispositionInformation = 13;  // FILE_INFORMATION_CLASS
constexpr ULONG kFileRenameInformation = 10;

// The longest name within a folder (NTFS: 255 UTF-16 units).
constexpr size_t kLongestName = 255;

// The characters of name, or 0 (ERROR_INVALID_NAME set) when it is no single
// name within a folder.
size_t NameLength(const wchar_t* name) {
  size_t length = 0;
  if (name != nullptr) {
    while (length <= kLongestName && name[length] != L'\0') {
      if (name[length] == L'\\' || name[length] == L'/') return ::SetLastError(ERROR_INVALID_NAME), 0;
      ++length;
    }
  }
  const bool dots = (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
  if (length == 0 || length > kLongestName || dots) {
    ::SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  return length;
}

void SetStatusError(NTSTATUS status) { ::SetLastError(::RtlNtStatusToDosError(status)); }

// NtCreateFile on name in folder, synchronous. Null (the last error set) on failure.
UniqueHandle CreateIn(HANDLE folder, const wchar_t* name, DWORD access, DWORD sharing, DWORD attributes,
                      ULONG disposition, ULONG options) {
  const size_t length = NameLength(name);
  if (length == 0) return UniqueHandle();
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name);
  text.Length = static_cast<USHORT>(length * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io;
  HANDLE file = nullptr;
  const NTSTATUS status = ::NtCreateFile(&file, access | SYNCHRONIZE, &object, &io, nullptr, attributes, sharing,
                                         disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status < 0) {
    // As CreateFileW says it for CREATE_NEW.
    if (status == STATUS_OBJECT_NAME_COLLISION && disposition == FILE_CREATE) {
      ::SetLastError(ERROR_FILE_EXISTS);
    } else {
      SetStatusError(status);
    }
    return UniqueHandle();
  }
  return UniqueHandle(file);
}

}  // namespace

UniqueHandle CreateFileIn(HANDLE folder, const wchar_t* name, DWORD access, DWORD sharing, DWORD attributes) {
  return CreateIn(folder, name, access, sharing, attributes, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
}

UniqueHandle OpenFileIn(HANDLE folder, const wchar_t* name, DWORD access, DWORD sharing) {
  return CreateIn(folder, name, access, sharing, 0, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
}

UniqueHandle OpenFolderIn(HANDLE folder, const wchar_t* name, DWORD access, DWORD sharing, bool make) {
  return CreateIn(folder, name, access, sharing, FILE_ATTRIBUTE_NORMAL, make ? FILE_OPEN_IF : FILE_OPEN,
                  FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
}

bool RenameInto(HANDLE file, HANDLE folder, const wchar_t* name, bool replace) {
  const size_t length = NameLength(name);
  if (length == 0) return false;
  // FILE_RENAME_INFORMATION, with room for the longest name.
  struct {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[kLongestName + 1];
  } rename;
  rename.replaceIfExists = replace ? TRUE : FALSE;
  rename.rootDirectory = folder;
  rename.fileNameLength = static_cast<ULONG>(length * sizeof(wchar_t));
  std::memcpy(rename.fileName, name, length * sizeof(wchar_t));
  IO_STATUS_BLOCK io;
  const ULONG size = static_cast<ULONG>(offsetof(decltype(rename), fileName) + length * sizeof(wchar_t));
  const NTSTATUS status = ::NtSetInformationFile(file, &io, &rename, size,
                                                 static_cast<FILE_INFORMATION_CLASS>(kFileRenameInformation));
  if (status < 0) SetStatusError(status);
  return status >= 0;
}

bool DeleteIn(HANDLE folder, const wchar_t* name) {
  const UniqueHandle file = CreateIn(folder, name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                                     FILE_OPEN, FILE_OPEN_REPARSE_POINT);
  if (!file) return false;
  BOOLEAN deleteFile = TRUE;  // FILE_DISPOSITION_INFORMATION
  IO_STATUS_BLOCK io;
  const NTSTATUS status = ::NtSetInformationFile(file.get(), &io, &deleteFile, sizeof deleteFile,
                                                 static_cast<FILE_INFORMATION_CLASS>(kFileDispositionInformation));
  if (status < 0) SetStatusError(status);
  return status >= 0;
}
