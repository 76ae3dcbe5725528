// A GBK path as the W file functions take it. The installer's paths are
// narrow GBK text; they are converted with code page 936 named, never the
// system's ANSI code page, so a GBK name is written as the same Unicode name
// on every Windows. Windows only.
#pragma once

#include <windows.h>

class WidePath {
 public:
  explicit WidePath(const char* gbk);
  // False when the bytes are not GBK or do not fit the path limit; c_str()
  // is then empty.
  bool ok() const { return ok_; }
  const wchar_t* c_str() const { return text_; }

 private:
  wchar_t text_[MAX_PATH];
  bool ok_;
};
