// The one place where the installer's text, narrow GBK (code page 936), meets
// Unicode. Code page 936 is always named here: the system's ANSI code page
// plays no part, so the installer reads the same on every Windows.
//
// Every conversion is exact or fails: a byte sequence that is not GBK, or a
// character that GBK cannot hold, makes the call return false, never a '?'
// or a best-fit look-alike.
#pragma once

#include <string>
#include <string_view>

// GBK to UTF-16 code units.
bool GbkToUtf16(std::string_view gbk, std::u16string* out);

// UTF-16 to GBK. False for an unpaired surrogate or a character outside GBK.
bool Utf16ToGbk(std::u16string_view text, std::string* out);

// UTF-8 (such as a ZIP name with general-purpose bit 11) to GBK. False for
// bytes that are not well-formed UTF-8 (overlong forms, surrogates, values
// past U+10FFFF included) or a character outside GBK.
bool Utf8ToGbk(std::string_view utf8, std::string* out);

// UTF-8 to UTF-16; false when the bytes are not well-formed UTF-8.
bool Utf8ToUtf16(std::string_view utf8, std::u16string* out);
