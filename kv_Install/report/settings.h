// Settings the installer reads: the user number from the registry, and the
// values of config.ini files (the one beside the installer and the installed
// one).
#pragma once

#include <cstddef>

// Copies the "kcno" value of HKCU\Software\KV\ORBEN into the caller's zeroed
// 512-byte buffer, as GBK text. False, with the buffer untouched, when it
// cannot be read: no key or value, a value that is not text (REG_SZ or
// REG_EXPAND_SZ), one longer than 260 bytes as GBK, or one GBK cannot hold.
bool ReadUserNumberText(char* buffer);

// DownLoadSource/source of .\config.ini into a 512-byte buffer; "kvpc012"
// when the file, section or key is missing.
void ReadDownloadSource(char* buffer);

// section/key of the .ini file at path (GBK; the file is opened by its wide
// name) into buffer, at most size - 1 bytes, exactly as the file holds them
// (see report/profile_text.h); fallback when the file, section or key is
// missing.
void ReadProfileString(const char* path, const char* section, const char* key, const char* fallback, char* buffer,
                       size_t size);

// The same value as an integer (GetPrivateProfileInt's reading); fallback when
// it is missing or empty.
unsigned ReadProfileInt(const char* path, const char* section, const char* key, unsigned fallback);
