// How a central header and its local extra field become the ZipEntryInfo
// that the reader hands out: the cleaned name, the Win32 attributes and the
// three times. Pure functions, so each rule can be checked on its own.
#pragma once

#include <cstdint>

#include "archive/zip_reader.h"

// General-purpose flag bit 11: the entry's name is UTF-8.
constexpr uint32_t kZipUtf8NameFlag = 0x800;

// Converts a NUL-terminated UTF-8 name in place to GBK, which is never
// longer. False, with the name as it was, when it is not well-formed UTF-8
// or holds a character GBK cannot hold.
bool Utf8NameToGbk(char* name);

// Cleans a stored name in place so that it is relative and stays inside the
// folder it is joined to: drive prefixes ("C:") and leading '\' or '/' are
// skipped, everything up to and including a separator-".."-separator
// sequence is dropped for as long as one remains, and then every ".." path
// component left over is removed (a name that is exactly ".." becomes
// empty). Separators are found character by character in code page 936, so
// the trail byte 0x5C of a double-byte character is never one.
void CleanEntryName(char* name);

// Win32 attribute bits from the version-made-by field (host in the high byte)
// and the external attributes.
uint32_t ZipAttributes(uint32_t versionMadeBy, uint32_t externalAttributes);

// The entry's access, creation and write times: the DOS date and time read as
// local time (all three 0 when it is not a valid date), then replaced by the
// times of the first "UT" block of the local extra field, where present.
void ZipEntryTimes(uint32_t dosDateTime, const uint8_t* extra, uint32_t extraLength, ZipEntryInfo* info);
