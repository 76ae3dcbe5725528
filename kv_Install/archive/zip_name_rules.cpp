#include "archive/zip_name_rules.h"

#include <cstring>

#include "base/path_names.h"

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(const char* text, size_t length, const char* upper) {
  if (std::strlen(upper) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

}  // namespace

bool IsDosDeviceName(const char* component, size_t length) {
  const void* dot = std::memchr(component, '.', length);
  if (dot != nullptr) length = static_cast<size_t>(static_cast<const char*>(dot) - component);
  while (length > 0 && (component[length - 1] == ' ' || component[length - 1] == '.')) --length;
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* name : kNames) {
    if (EqualsUpper(component, length, name)) return true;
  }
  if (length == 4 && component[3] >= '0' && component[3] <= '9') {
    return EqualsUpper(component, 3, "COM") || EqualsUpper(component, 3, "LPT");
  }
  return false;
}

const char* UnsafePathReason(const char* path) {
  if (path[0] != '\0' && path[1] == ':' && !IsSeparator(path[0])) path += 2;  // the drive
  return EachComponent(path, [](const char* component, size_t length) -> const char* {
    if (std::memchr(component, ':', length) != nullptr) return "':' in name";
    if (IsDosDeviceName(component, length)) return "device name";
    return nullptr;
  });
}

const char* TrailingDotOrSpaceReason(const char* name) {
  return EachComponent(name, [](const char* component, size_t length) -> const char* {
    if (length == 0) return nullptr;
    const char last = component[length - 1];
    // "." and ".." are the folder itself and its parent, refused elsewhere.
    if (last == '.' && (length == 1 || (length == 2 && component[0] == '.'))) return nullptr;
    if (last == '.' || last == ' ') return "component ends in '.' or ' '";
    return nullptr;
  });
}
