// What the Uninstall entry says beyond its name and uninstaller, as plain
// text and numbers: the version, the folder, the date and the size that Apps
// & features shows. No Windows headers; the install step writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The payload's version.data starts with its version text in this many
// bytes, padded with NULs; the rest of the file belongs to the client.
constexpr size_t kVersionTextSize = 32;

// The version text of version.data (its first size bytes at data), read as
// the release build reads it for the file's version resource: the first
// kVersionTextSize bytes up to the first NUL, without surrounding blanks,
// and only when that is N.N.N or N.N.N.N with each N from 0 to 65535. False,
// with version empty, for anything else (no version, garbage); bytes past
// the first kVersionTextSize are never looked at.
bool VersionFromVersionData(const char* data, size_t size, char (&version)[kVersionTextSize + 1]);

// A local calendar date.
struct CalendarDate {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
};

// "yyyymmdd" into text; false, with text empty, when the date is not one
// (year 1 to 9999).
bool InstallDateText(const CalendarDate& date, char (&text)[9]);

// Bytes as whole KiB, rounded up (a file of one byte takes 1); past what a
// REG_DWORD holds it stays at the largest one.
uint32_t SizeInKib(uint64_t bytes);

// The install folder as the entry shows it: without the trailing separators
// the unattended folder carries, but a bare drive keeps its one ("D:\").
std::string InstallLocationText(const std::string& installDir);
