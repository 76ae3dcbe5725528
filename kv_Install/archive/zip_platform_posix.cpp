// Platform hooks of the native build. Local time is taken to be UTC: the
// native tests run with TZ=UTC, and nothing here depends on the machine's zone.
#include "archive/zip_platform.h"

#include <unistd.h>

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool ZipDosTimeToFileTime(uint32_t dosDateTime, ZipFileTime* out) {
  const uint32_t date = dosDateTime >> 16;
  const uint32_t time = dosDateTime & 0xFFFF;
  const unsigned year = 1980 + (date >> 9);
  const unsigned month = (date >> 5) & 15;
  const unsigned day = date & 31;
  const unsigned hour = time >> 11;
  const unsigned minute = (time >> 5) & 63;
  const unsigned second = 2 * (time & 31);
  // The same limits as the system's conversion on Windows.
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59) {
    return false;
  }
  const int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  const uint64_t ticks = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  out->dwLowDateTime = static_cast<uint32_t>(ticks);
  out->dwHighDateTime = static_cast<uint32_t>(ticks >> 32);
  return true;
}

void ZipCurrentFolder(char* buffer, size_t size) {
  if (size == 0) return;
  if (getcwd(buffer, size) == nullptr) buffer[0] = '\0';
}
