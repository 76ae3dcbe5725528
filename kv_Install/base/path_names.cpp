#include "base/path_names.h"

bool HasParentComponent(const char* path) {
  return EachComponent(path, [](const char* component, size_t length) -> const char* {
           return IsParentComponent(component, length) ? component : nullptr;
         }) != nullptr;
}

const char* FindLastSeparator(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = MbcsNext(p)) {
    if (IsSeparator(*p)) last = p;
  }
  return last;
}

size_t FolderPartLength(const char* name) {
  const char* separator = FindLastSeparator(name);
  return separator != nullptr ? static_cast<size_t>(separator - name) + 1 : 0;
}
