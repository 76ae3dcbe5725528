#include "archive/upgrade_plan.h"

#include "base/path_names.h"

namespace {

char FoldedByte(char c) {
  if (c == '/') return '\\';
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The name the file system compares: one separator, lower-case ASCII.
std::string Folded(const std::string& name) {
  std::string folded;
  folded.reserve(name.size());
  for (const char* p = name.c_str(); *p != '\0';) {
    const char* next = MbcsNext(p);
    if (next - p == 1) {
      folded += FoldedByte(*p);
    } else {
      folded.append(p, next);
    }
    p = next;
  }
  return folded;
}

bool Matches(const OnDisk& disk, uint64_t size, uint32_t crc) {
  return disk.present && !disk.folder && disk.size == size && disk.crcKnown && disk.crc == crc;
}

const RecordedFile* FindRecorded(const std::vector<RecordedFile>& record, const std::string& folded) {
  for (const RecordedFile& file : record) {
    if (Folded(file.name) == folded) return &file;
  }
  return nullptr;
}

}  // namespace

bool SameEntryName(const std::string& a, const std::string& b) { return Folded(a) == Folded(b); }

std::vector<PlanItem> PlanUpgrade(const std::vector<PayloadFile>& payload, bool hasRecord,
                                  const std::vector<RecordedFile>& record, const DiskLookup& disk) {
  static const std::vector<RecordedFile> kNone;
  const std::vector<RecordedFile>& recorded = hasRecord ? record : kNone;
  std::vector<PlanItem> plan;
  std::vector<std::string> carried;
  carried.reserve(payload.size());
  for (const PayloadFile& file : payload) {
    carried.push_back(Folded(file.name));
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
      const RecordedFile* mine = FindRecorded(recorded, carried.back());
      OnDisk again = there;
      if (mine != nullptr && mine->size != file.size && there.size == mine->size) again = disk.Look(file.name, mine->size);
      item.action = mine != nullptr && Matches(again, mine->size, mine->crc) ? PlanAction::Replace : PlanAction::Refuse;
    }
    plan.push_back(std::move(item));
  }
  for (const RecordedFile& file : recorded) {
    const std::string folded = Folded(file.name);
    bool stillCarried = false;
    for (const std::string& name : carried) stillCarried = stillCarried || name == folded;
    if (stillCarried) continue;
    carried.push_back(folded);  // a name recorded twice is planned once
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
