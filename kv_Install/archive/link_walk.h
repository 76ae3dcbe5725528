// The folders an entry's path passes through below the installation folder,
// and what may stand in their place. The installer runs elevated and may
// install where anybody can make folders (D:\Kelvane), or into a folder that
// has stood open for months: a junction or symbolic link planted at the place
// of one of these folders would carry the entry's data somewhere else. The
// unpacking holds each of them open, proved a real folder, while it writes
// (archive/link_guard_win.cpp). The installation folder itself and the
// folders above it are the user's own arrangement and may be links. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>

// A name within the path limit has at most this many folders.
constexpr size_t kMaxWalkFolders = 130;

struct FolderWalk {
  size_t count = 0;
  uint16_t ends[kMaxWalkFolders];  // bytes of the name that name each folder, outermost first
};

// The folders of name, a cleaned entry name, below the installation folder:
// the text before each separator, and the whole name when it is a folder
// entry's. Empty and "." components add no folder. False, with no folders,
// for a name that is absolute, has a ".." component or more folders than
// kMaxWalkFolders: no such name is written.
bool WalkFolders(const char* name, bool folderEntry, FolderWalk* walk);

// How many of next's leading folders (over nextName) are held's (over
// heldName): the same bytes, '\' and '/' alike. A name that differs only in
// case counts as another folder; that costs an open, never a check.
size_t SharedFolders(const char* heldName, const FolderWalk& held, const char* nextName, const FolderWalk& next);

enum class FolderVerdict {
  Folder,     // a real folder: the entry may be written into it
  Link,       // a junction, symbolic link or mount point: never followed
  NotFolder,  // a file stands there: the entry cannot be written
};

// No attributes: the name could not be asked.
constexpr uint32_t kNoAttributes = 0xFFFFFFFFu;

// What stands at a folder's place, from the attributes and reparse tag read
// through a handle opened on it without following a link, and the attributes
// asked by its name once the handle holds it. A reparse point whose tag names
// another place (junctions, symbolic links, mount points: the tag's
// name-surrogate bit) is a link; any other (a cloud file's placeholder
// folder, say) is data of the folder itself. The handle's word is the proof
// on Windows. Wine opens the place a link leads to even when asked not to, and
// shows the link only by name: a reparse point seen by name alone is a link.
FolderVerdict JudgeFolder(uint32_t handleAttributes, uint32_t reparseTag, uint32_t nameAttributes);
