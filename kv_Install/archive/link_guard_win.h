// Holding the folders an entry is written into, so that nothing the elevated
// installer writes goes through a link planted inside the installation
// folder (see archive/link_walk.h for which folders and why).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/link_walk.h"
#include "base/handles.h"

class LinkGuard {
 public:
  // root: the installation folder, GBK. When it stands already (as the
  // guard is made), it and the folders above it are the user's arrangement
  // and may be links. One the installer makes itself is opened without
  // following a link and checked like the folders below it. It is held open
  // from the first Hold on, so that it cannot be renamed or replaced during
  // the unpacking.
  explicit LinkGuard(const char* root);
  ~LinkGuard();  // closes what it holds

  // ZRES_OK once every folder of name's path below the root is open and
  // proved a real folder, made first where missing when make is set (the
  // root too); they stay open, and so cannot be renamed, deleted or replaced,
  // until the next Hold or the guard's end. Folders met again are not opened
  // again. ZRES_LINK_IN_PATH when one of them is a link, which is then not
  // followed (the thread's last error is ERROR_REPARSE_POINT_ENCOUNTERED);
  // ZRES_CANNOT_OPEN when one cannot be made or opened, is a file, or the
  // name is no safe relative name. Each folder is made and opened by its
  // name within the one above it, through that one's handle
  // (handle_files_win.h): once a folder is held, nothing done to the path
  // that led to it can steer what is opened below it.
  uint32_t Hold(const char* name, bool folderEntry, bool make);

  // After a successful Hold: the innermost folder it holds (the root for a
  // name with no folder), to make, write, rename and list the entry's files
  // in by handle (handle_files_win.h); it has FILE_TRAVERSE,
  // FILE_LIST_DIRECTORY and FILE_READ_ATTRIBUTES. Null otherwise.
  HANDLE Folder() const;

  // Whether the folders held stand as they were checked. A folder made a
  // link after its check (a mount point set on it, or, under Wine, another
  // thing put at its name) cannot steer a write through its handle, but the
  // entry written there is not where the user sees it: ZRES_LINK_IN_PATH,
  // the folder noted as a link. ZRES_OK otherwise.
  uint32_t Recheck();

  // Each folder found to be a link, once, as the entries' names spell it
  // ("datafile"), each line ended by '\n'.
  const std::string& LinkedFolders() const { return linked_; }

  // The junction the root could not be opened through because Windows'
  // redirection guard refused it (system error 448, a junction a
  // non-administrator made): the outermost folder of the root's path that is
  // a reparse point, or the root itself when none shows. Empty otherwise.
  const std::string& UntrustedJunction() const { return untrusted_; }

 private:
  uint32_t HoldRoot(bool make);
  void NoteLinked(const std::string& folder);
  void NoteUntrusted();

  uint32_t Judge(HANDLE folder, const char* path, size_t nameLength);

  std::string root_;
  bool rootStood_;             // the root stood before the guard was made
  UniqueHandle rootHandle_;
  std::string heldName_;       // the name whose folders are held
  FolderWalk held_;            // count: how many of them are open
  UniqueHandle handles_[kMaxWalkFolders];
  std::string linked_;
  std::string untrusted_;
};

// Test builds only: called once each folder below the root has been opened
// and checked, with the name's bytes that spell it ("datafile"). Null in the
// shipped program.
extern void (*theFolderHeldHook)(const char* name, size_t length);
