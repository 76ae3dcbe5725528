// The install record: what the last install put in its folder, so that the
// next one can tell the files it left there, unchanged, from the user's. A
// small text file in the install folder (kInstallRecordName), plain C++.
//
//   kvsetup install record 1
//   <CRC-32, 8 hex digits> <size in bytes> <name as the payload spells it>
//   ...
//   end <number of file lines>
//
// Lines end in CR LF; the three fields are separated by one TAB. A record
// that does not read exactly so (no head, a bad line, no end line or a count
// that disagrees, as a record cut short would be) counts as no record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The record's and the staging folder's names in the install folder. Neither
// is ever a payload entry nor a file of the user's.
extern const char kInstallRecordName[];
extern const char kStagingFolderName[];

// The text form the record and the switch journal share: a head line, one
// line of three TAB-separated fields per row (the name last, so that it may
// hold anything but control characters), and "end <rows>"; CR LF after each.
// Serializing, a row is added with AddTableRow and the table ended with
// EndTable. Parsing calls row(context, first, second, name) for each row and
// stops, false, at the first row it refuses; false unless text is exactly
// such a table.
void AddTableRow(std::string* text, const char* first, const char* second, const std::string& name);
void EndTable(std::string* text, size_t rows);
using TableRow = bool (*)(void* context, const std::string& first, const std::string& second, const std::string& name);
bool ParseTableText(const std::string& text, const char* head, TableRow row, void* context);
// A number that is the whole of text: decimal, or hexadecimal when hex is
// set; at most 16 digits.
bool ReadNumber(const std::string& text, bool hex, uint64_t* value);

struct RecordedFile {
  std::string name;  // relative, GBK, as the payload's cleaned entry name
  uint64_t size = 0;
  uint32_t crc = 0;
  int32_t index = -1;  // a payload file's archive entry; not recorded
};

// Whether name may stand in a record (or be removed because of one): a
// relative name below the folder, no "..", no device or stream name, no
// control characters, not the record or the staging folder.
bool RecordableName(const std::string& name);

std::string SerializeInstallRecord(const std::vector<RecordedFile>& files);

// False, with files empty, when text is not a whole record.
bool ParseInstallRecord(const std::string& text, std::vector<RecordedFile>* files);
