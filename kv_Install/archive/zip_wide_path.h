// A GBK path as the W file functions take it. The installer's paths are
// narrow GBK text; they are converted with code page 936 named, never the
// system's ANSI code page, so a GBK name is written as the same Unicode name
// on every Windows. Windows only.
#pragma once

#include <string>

#include "base/gbk_text.h"

class WidePath {
 public:
  explicit WidePath(const char* gbk) : ok_(GbkToUtf16(gbk, &text_)) {}
  // False when the bytes are not GBK; c_str() is then empty.
  bool ok() const { return ok_; }
  const wchar_t* c_str() const { return reinterpret_cast<const wchar_t*>(text_.c_str()); }

 private:
  std::u16string text_;
  bool ok_;
};
