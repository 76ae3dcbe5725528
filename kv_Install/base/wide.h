// The window side's short forms over the GBK/UTF-16 pair (gbk_text.h):
// what goes into a W call and what comes back from one. Windows only.
#pragma once

#include <string>
#include <string_view>

// A W call's text as the pair takes it (wchar_t is 16-bit on Windows).
inline std::u16string_view AsU16(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

// GBK text as UTF-16 for a W call. Bytes that are not GBK show as U+FFFD
// rather than dropping the whole text: this is for showing, never for paths
// the program writes to.
std::wstring Wide(std::string_view gbk);

// UTF-16 from a W call as GBK. False, with *gbk cleared, when the text holds
// a character GBK cannot hold (or an unpaired surrogate).
bool Narrow(std::wstring_view text, std::string* gbk);

// UTF-16 as GBK with '?' standing for each character GBK cannot hold: for
// text that is only searched and shown (the command line, the module path),
// never for a path the program opens.
std::string NarrowOrPlaceholder(std::wstring_view text);
