#include "archive/upgrade_plan.h"

#include "base/path_names.h"

namespace {

char FoldedByte(char c) {
  if (c == '/') return '\\';
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Matches(const OnDisk& disk, uint64_t size, uint32_t crc) {
  return disk.present && !disk.folder && disk.size == size && disk.crcKnown && disk.crc == crc;
}

const RecordedFile* FindRecorded(const std::vector<RecordedFile>& record, const std::string& name) {
  for (const RecordedFile& file : record) {
    if (SameEntryName(file.name, name)) return &file;
  }
  return nullptr;
}

}  // namespace

bool SameEntryName(const std::string& a, const std::string& b) {
  // Character by character: a double-byte character's bytes as they are,
  // a single byte folded.
  const char* p = a.c_str();
  const char* q = b.c_str();
  while (*p != '\0' && *q != '\0') {
    const char* nextP = MbcsNext(p);
    const char* nextQ = MbcsNext(q);
    if (nextP - p != nextQ - q) return false;
    if (nextP - p == 1 ? FoldedByte(*p) != FoldedByte(*q) : (p[0] != q[0] || p[1] != q[1])) return false;
    p = nextP;
    q = nextQ;
  }
  return *p == *q;
}

std::vector<PlanItem> PlanUpgrade(const std::vector<PayloadFile>& payload, bool hasRecord,
                                  const std::vector<RecordedFile>& record, const DiskLookup& disk) {
  const std::vector<RecordedFile> none;
  const std::vector<RecordedFile>& recorded = hasRecord ? record : none;
  std::vector<PlanItem> plan;
  plan.reserve(payload.size());
  for (const PayloadFile& file : payload) {
    PlanItem item;
    item.name = file.name;
    item.size = file.size;
    item.crc = file.crc;
    item.index = file.index;
    const OnDisk there = disk.Look(file.name, file.size);
    item.oldSize = there.size;
    if (!there.present) {
      item.action = PlanAction::Write;
    } else if (there.folder) {
      item.action = PlanAction::Refuse;
    } else if (Matches(there, file.size, file.crc)) {
      item.action = PlanAction::Keep;
    } else if (!there.readOnly) {
      item.action = PlanAction::Replace;
    } else {
      // A read-only file is replaced only where the last install put it there
      // and nobody changed it since; its CRC-32 is read for the record's size.
      const RecordedFile* mine = FindRecorded(recorded, file.name);
      OnDisk again = there;
      if (mine != nullptr && mine->size != file.size && there.size == mine->size) again = disk.Look(file.name, mine->size);
      item.action = mine != nullptr && Matches(again, mine->size, mine->crc) ? PlanAction::Replace : PlanAction::Refuse;
    }
    plan.push_back(std::move(item));
  }
  for (const RecordedFile& file : recorded) {
    // Carried by the payload, or recorded twice: planned once.
    bool planned = false;
    for (const PlanItem& item : plan) planned = planned || SameEntryName(item.name, file.name);
    if (planned) continue;
    const OnDisk there = disk.Look(file.name, file.size);
    if (!there.present || there.folder) continue;
    PlanItem item;
    item.name = file.name;
    item.size = file.size;
    item.crc = file.crc;
    item.oldSize = there.size;
    item.action = Matches(there, file.size, file.crc) ? PlanAction::Remove : PlanAction::LeaveUsers;
    plan.push_back(std::move(item));
  }
  return plan;
}
