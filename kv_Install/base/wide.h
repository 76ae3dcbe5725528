// The window side's short forms over the GBK/UTF-16 pair (gbk_text.h): what
// goes into a W call and what comes back from one. Windows only.
//
// UTF-16 text is a std::u16string here, as in the pair (wchar_t is 16-bit on
// Windows). std::wstring stays out of the program: the C++ library
// instantiates it in an object that brings the wide streams along.
#pragma once

#include <string>
#include <string_view>

// A UTF-16 string as a W call takes it: ::SetWindowTextW(hwnd, WStr(Wide(text))).
inline const wchar_t* WStr(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// A W call's NUL-terminated text as the pair takes it.
inline std::u16string_view AsU16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// GBK text as UTF-16 for a W call. Bytes that are not GBK show as a
// replacement character rather than dropping the whole text: this is for
// showing, never for paths the program writes to.
std::u16string Wide(std::string_view gbk);

// UTF-16 as GBK with '?' standing for each character GBK cannot hold: for
// text that is only searched and shown (the command line, the module path, a
// window's text), never for a path the program opens. Utf16ToGbk tells
// instead.
std::string NarrowOrPlaceholder(std::u16string_view text);

// GBK text as UTF-8, for files and pipes that others read on any system (the
// standard-error lines, the /LOG file). Bytes that are not GBK show as
// replacement characters, as in Wide.
std::string Utf8(std::string_view gbk);

// A GBK path as the W file functions take it, in a buffer of the path limit:
// for the unpacking loop, which makes two of them per entry. Exact, as the
// pair is: no replacement characters in a path the program writes to.
class WidePath {
 public:
  explicit WidePath(const char* gbk);
  // False when the bytes are not GBK or do not fit the path limit; c_str()
  // is then empty.
  bool ok() const { return ok_; }
  const wchar_t* c_str() const { return text_; }

 private:
  static constexpr size_t kSize = 260;  // MAX_PATH
  wchar_t text_[kSize];
  bool ok_;
};
