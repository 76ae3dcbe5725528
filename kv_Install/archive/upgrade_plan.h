// What an install does with each file, decided before anything is written:
// the payload's entries against the files at their targets (size and CRC-32)
// and the record of what the last install wrote. Plain C++.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/install_record.h"

enum class PlanAction {
  Write,      // a payload file with nothing at its target: staged, then moved in
  Keep,       // the target already holds the payload's file: not written again
  Replace,    // the target differs: staged, the old file moved aside, the new one in
  Remove,     // the last install wrote it, the payload no longer carries it, and it is unchanged
  LeaveUsers, // the last install wrote it and the payload dropped it, but the user changed it
  Refuse,     // cannot be replaced: a folder in its place, or a read-only file not the installer's
};

// A payload file: its cleaned entry name, size and CRC-32, and its index in
// the archive (-1 for a file that is not an entry, such as the record).
using PayloadFile = RecordedFile;

// What stands at a target. The CRC-32 is asked only of a file whose size
// matches what it is compared with; crcKnown says whether it was read.
struct OnDisk {
  bool present = false;
  bool folder = false;
  bool readOnly = false;
  uint64_t size = 0;
  bool crcKnown = false;
  uint32_t crc = 0;
};

struct PlanItem {
  PlanAction action = PlanAction::Keep;
  std::string name;
  uint64_t size = 0;      // the new file's (Write, Keep, Replace) or the recorded one's
  uint32_t crc = 0;
  int32_t index = -1;     // the archive entry, -1 for none
  uint64_t oldSize = 0;   // the file at the target (Replace, Remove)
};

// Whether two entry names name the same file on Windows: '/' and '\' alike,
// ASCII letters in either case (the bytes of double-byte characters as they
// are).
bool SameEntryName(const std::string& a, const std::string& b);

// Asked per name what is at its target. sizeWanted is the size the plan
// compares with: the CRC-32 is needed only when the size is that.
class DiskLookup {
 public:
  virtual OnDisk Look(const std::string& name, uint64_t sizeWanted) const = 0;

 protected:
  ~DiskLookup() = default;
};

// The plan: one item per payload file, in payload order, then one per
// recorded file the payload no longer carries (Remove or LeaveUsers; one
// missing from disk is left out). hasRecord false: a folder from before the
// record, where nothing is removed.
std::vector<PlanItem> PlanUpgrade(const std::vector<PayloadFile>& payload, bool hasRecord,
                                  const std::vector<RecordedFile>& record, const DiskLookup& disk);

// Whether an item writes a new file, and whether it moves an old one aside.
inline bool Writes(PlanAction action) { return action == PlanAction::Write || action == PlanAction::Replace; }
inline bool MovesAside(PlanAction action) { return action == PlanAction::Replace || action == PlanAction::Remove; }
