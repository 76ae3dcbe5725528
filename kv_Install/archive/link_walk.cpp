#include "archive/link_walk.h"

#include <cstring>

#include "base/mbcs.h"
#include "base/path_names.h"

namespace {

constexpr uint32_t kDirectory = 0x10;   // FILE_ATTRIBUTE_DIRECTORY
constexpr uint32_t kReparse = 0x400;    // FILE_ATTRIBUTE_REPARSE_POINT
constexpr uint32_t kNameSurrogate = 0x20000000;  // of a reparse tag: it stands for another named entity

bool NamesAFolder(const char* component, size_t length) {
  return length != 0 && !(length == 1 && component[0] == '.');
}

// The same text from begin to end in both names, character by character:
// a separator matches either separator, anything else only itself.
bool SameText(const char* a, const char* b, size_t begin, size_t end) {
  for (size_t i = begin; i < end;) {
    const size_t step = static_cast<size_t>(MbcsNext(a + i) - (a + i));
    if (step == 0 || step != static_cast<size_t>(MbcsNext(b + i) - (b + i))) return false;
    if (!(step == 1 && IsSeparator(a[i]) && IsSeparator(b[i])) && std::memcmp(a + i, b + i, step) != 0) return false;
    i += step;
  }
  return true;
}

}  // namespace

bool WalkFolders(const char* name, bool folderEntry, FolderWalk* walk) {
  walk->count = 0;
  if (IsAbsolutePath(name) || HasParentComponent(name) || std::strlen(name) > 0xFFFF) return false;
  const char* refused = EachComponent(name, [&](const char* component, size_t length) -> const char* {
    const bool last = component[length] == '\0';
    if ((last && !folderEntry) || !NamesAFolder(component, length)) return nullptr;
    if (walk->count == kMaxWalkFolders) return component;
    walk->ends[walk->count++] = static_cast<uint16_t>(component - name + length);
    return nullptr;
  });
  if (refused != nullptr) walk->count = 0;
  return refused == nullptr;
}

size_t SharedFolders(const char* heldName, const FolderWalk& held, const char* nextName, const FolderWalk& next) {
  size_t shared = 0;
  for (size_t begin = 0; shared < held.count && shared < next.count; ++shared) {
    const size_t end = held.ends[shared];
    if (next.ends[shared] != end || !SameText(heldName, nextName, begin, end)) break;
    begin = end;
  }
  return shared;
}

FolderVerdict JudgeFolder(uint32_t handleAttributes, uint32_t reparseTag, uint32_t nameAttributes) {
  if ((handleAttributes & kReparse) != 0) {
    if ((reparseTag & kNameSurrogate) != 0) return FolderVerdict::Link;
  } else if (nameAttributes != kNoAttributes && (nameAttributes & kReparse) != 0) {
    return FolderVerdict::Link;
  }
  return (handleAttributes & kDirectory) != 0 ? FolderVerdict::Folder : FolderVerdict::NotFolder;
}
