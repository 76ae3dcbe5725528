// Files named relative to an open folder handle, never by a path.
//
// The elevated installer writes where a standard user may make folders
// (D:\Kelvane). A path is read again at every call: a folder checked a moment
// ago may since have been made a junction to C:\Windows\System32, and a write
// by path would follow it. A name given relative to a handle is looked up in
// the very folder the handle holds, whatever has happened to the path that led
// there: the folder is checked once, when its handle is opened (see
// archive/link_guard_win.h), and every create, open, rename and delete below
// goes through that handle.
//
// Every function takes one name within the folder (UTF-16, NUL-terminated):
// no separator, not empty, not "." or ".."; such a name fails with
// ERROR_INVALID_NAME before anything is asked of the system. Failures leave
// the system's error as the thread's last error (ERROR_FILE_EXISTS,
// ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_DIRECTORY, ...), as the
// Win32 file functions do. Handles are synchronous: ReadFile and WriteFile
// work on them as on CreateFileW's.
//
// The folder handles passed in need only FILE_TRAVERSE (and what the call
// does inside the folder: the system checks the rights on the file itself).
// Built on ntdll's NtCreateFile and NtSetInformationFile (present since
// Windows NT); Wine resolves the names against the handle's own folder.
#pragma once

#include <windows.h>

#include "base/handles.h"

// Makes the new file name in folder and opens it with access (SYNCHRONIZE is
// added) and sharing; attributes as CreateFileW's (FILE_ATTRIBUTE_NORMAL).
// Fails with ERROR_FILE_EXISTS when anything, a link included, has that name:
// nothing existing is ever opened or followed.
UniqueHandle CreateFileIn(HANDLE folder, const wchar_t* name, DWORD access, DWORD sharing, DWORD attributes);

// Opens the existing file name in folder with access and sharing. A link or
// other reparse point at name is opened itself, not followed. A folder at
// name fails with ERROR_ACCESS_DENIED (Windows' answer to a folder opened as
// a file). For a check that nobody holds a file: access DELETE, sharing
// FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE fails with
// ERROR_SHARING_VIOLATION exactly when another program has it open without
// delete sharing.
UniqueHandle OpenFileIn(HANDLE folder, const wchar_t* name, DWORD access, DWORD sharing);

// Opens the folder name in folder with access and sharing, making it first
// when make is set and it is missing. A link at name is opened itself, not
// followed (the caller judges what it got: link_walk.h's JudgeFolder); a
// file at name fails with ERROR_DIRECTORY.
UniqueHandle OpenFolderIn(HANDLE folder, const wchar_t* name, DWORD access, DWORD sharing, bool make);

// Gives the open file (a handle with DELETE access) the name name in folder,
// which may be another folder than the one it is in (on the same volume).
// With replace, a file already of that name is replaced in one step; without,
// it fails with ERROR_ALREADY_EXISTS. A replaced file another program holds
// fails with ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION, and stays.
// The handle stays open and names the file at its new place.
bool RenameInto(HANDLE file, HANDLE folder, const wchar_t* name, bool replace);

// Deletes name in folder (a file, a link itself, or an empty folder); it
// goes once the last handle to it closes.
bool DeleteIn(HANDLE folder, const wchar_t* name);
