// What the test tools print of a window's or a shortcut's UTF-16 text.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// GBK text of UTF-16, converted with code page 936 named, so that it reads
// the same on every system code page; a character GBK has not shows as
// "<U+XXXX>" rather than a '?' that could pass for the right text.
inline std::string GbkOf(const wchar_t* text) {
  std::string out;
  for (const wchar_t* p = text; *p != L'\0'; ++p) {
    char bytes[8] = {};
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, p, 1, bytes, sizeof bytes, nullptr, &usedDefault);
    if (n > 0 && !usedDefault) {
      out.append(bytes, static_cast<size_t>(n));
    } else {
      char hex[16];
      std::snprintf(hex, sizeof hex, "<U+%04X>", static_cast<unsigned>(*p));
      out += hex;
    }
  }
  return out;
}
