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
  // root: the installation folder, GBK. It and the folders above it may be
  // links; it is held open from the first Hold on, so that it cannot be
  // renamed or replaced during the unpacking.
  explicit LinkGuard(const char* root);
  ~LinkGuard();  // closes what it holds

  // ZRES_OK once every folder of name's path below the root is open and
  // proved a real folder, made first where missing when make is set (the
  // root too); they stay open, and so cannot be renamed, deleted or replaced,
  // until the next Hold or the guard's end. Folders met again are not opened
  // again. ZRES_LINK_IN_PATH when one of them is a link, which is then not
  // followed (the thread's last error is ERROR_REPARSE_POINT_ENCOUNTERED);
  // ZRES_CANNOT_OPEN when one cannot be made or opened, is a file, or the
  // name is no safe relative name.
  uint32_t Hold(const char* name, bool folderEntry, bool make);

  // Each folder found to be a link, once, as the entries' names spell it
  // ("datafile"), each line ended by '\n'.
  const std::string& LinkedFolders() const { return linked_; }

 private:
  bool HoldRoot(bool make);
  void NoteLinked(const std::string& folder);

  std::string root_;
  UniqueHandle rootHandle_;
  std::string heldName_;       // the name whose folders are held
  FolderWalk held_;            // count: how many of them are open
  UniqueHandle handles_[kMaxWalkFolders];
  std::string linked_;
};
