#include "base/mbcs.h"

#include <cstring>

const char* MbcsFind(const char* text, const char* needle) {
  const size_t n = std::strlen(needle);
  for (const char* p = text; *p != '\0'; p = MbcsNext(p)) {
    if (std::strncmp(p, needle, n) == 0) return p;
  }
  return n == 0 ? text : nullptr;
}

const char* MbcsFindLast(const char* text, char c) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = MbcsNext(p)) {
    if (*p == c) last = p;
  }
  return last;
}
