// Values of an .ini file ("config.ini") read from its bytes, by the rules of
// the system's private-profile calls, but without their decoding: a file with
// no byte-order mark is taken as GBK, byte for byte, whatever the system's
// code page. The values go into the reports exactly as the file holds them.
#pragma once

#include <string>
#include <string_view>

// The file's text as GBK: a file without a byte-order mark as it is; one with
// a UTF-8 or UTF-16LE mark converted, line by line, where a line that GBK
// cannot hold is left out (its key then counts as missing).
std::string ProfileTextAsGbk(std::string_view fileBytes);

// The value of key in section of a GBK profile text, as
// GetPrivateProfileString finds it: section and key names compared without
// case and without surrounding blanks; the first section of that name is
// searched; the value without blanks around it and without one pair of
// matching quotes ("..." or '...'). False when the section or key is missing.
bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key, std::string* value);

// value cut to at most size - 1 bytes on a character boundary and written
// with its NUL into buffer (size > 0).
void CopyProfileValue(const std::string& value, char* buffer, size_t size);

// The integer of a value as GetPrivateProfileInt reads it: leading blanks, an
// optional sign, then decimal digits (none gives 0); wraps as 32 bits do.
// fallback when the value is empty.
unsigned ProfileInt(const std::string& value, unsigned fallback);
