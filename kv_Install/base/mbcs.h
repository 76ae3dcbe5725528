// Character-by-character scanning of narrow text in code page 936 (GBK):
// a lead byte 0x81..0xFE takes the next byte with it, so a trail byte such as
// 0x5C ('\') is never mistaken for a character of its own.
#pragma once

#include <cstddef>

inline bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Next character after p (p points at a character start; stops at the NUL).
inline const char* MbcsNext(const char* p) {
  if (*p == '\0') return p;
  if (IsGbkLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') return p + 2;
  return p + 1;
}

// First occurrence of needle in text starting on a character boundary, or null.
const char* MbcsFind(const char* text, const char* needle);

// Last occurrence of the single-byte character c on a character boundary.
const char* MbcsFindLast(const char* text, char c);
