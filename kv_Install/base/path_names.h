// Path names as the archive code and the folder rules read them: '\' and '/'
// both separate components, and a separator counts only where it starts a
// character in code page 936 (the trail byte 0x5C of a double-byte character
// is never one). Plain C++.
#pragma once

#include <cstddef>

#include "base/mbcs.h"

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "\x", "/x" or "X:...": a path that names its own root.
inline bool IsAbsolutePath(const char* path) { return IsSeparator(path[0]) || (path[0] != '\0' && path[1] == ':'); }

// The component (length bytes, no separator) is "..".
inline bool IsParentComponent(const char* component, size_t length) {
  return length == 2 && component[0] == '.' && component[1] == '.';
}

// Calls check(component, length) for each component of path, empty ones
// included; the separator after a component, if any, is component[length].
// Stops at the first call that returns non-null and hands that back.
template <typename Check>
const char* EachComponent(const char* path, Check check) {
  const char* component = path;
  for (const char* p = path;; p = MbcsNext(p)) {
    if (*p != '\0' && !IsSeparator(*p)) continue;
    const char* stop = check(component, static_cast<size_t>(p - component));
    if (stop != nullptr) return stop;
    if (*p == '\0') return nullptr;
    component = p + 1;
  }
}

// True when some component of path is "..".
bool HasParentComponent(const char* path);

// The last separator of text, or null.
const char* FindLastSeparator(const char* text);

// Bytes of name up to and with its last separator; 0 when it has none.
size_t FolderPartLength(const char* name);
