#include "archive/upgrade_win.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "archive/held_wait.h"
#include "archive/install_record.h"
#include "archive/link_guard_win.h"
#include "archive/upgrade_journal.h"
#include "archive/upgrade_plan.h"
#include "archive/zip_name_rules.h"
#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/path_names.h"
#include "base/wide.h"

void (*theSwitchRenameHook)() = nullptr;

namespace {

// A record or journal larger than this is no record of ours.
constexpr uint64_t kLargestText = 16u << 20;

std::string Join(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

std::string StagingFolder(const char* folder) { return Join(folder, kStagingFolderName); }

std::string StepFile(const std::string& staging, uint32_t number, const char* suffix) {
  char name[24];
  (void)std::snprintf(name, sizeof name, "\\%lu%s", static_cast<unsigned long>(number), suffix);
  return staging + name;
}

DWORD AttributesOf(const std::string& path) {
  const WidePath wide(path.c_str());
  return wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool IsFile(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Deletes a file, read-only or not. False when it stays.
bool DeleteAnyFile(const std::string& path) {
  const WidePath wide(path.c_str());
  if (!wide.ok()) return false;
  if (::DeleteFileW(wide.c_str())) return true;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return false;
  (void)::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  return ::DeleteFileW(wide.c_str()) != 0;
}

// A rename that never replaces: each step's places are empty before it
// fills them. Written through, so that the journal's word holds after a
// power cut.
bool RenameFile(const std::string& from, const std::string& to) {
  const WidePath wideFrom(from.c_str()), wideTo(to.c_str());
  if (!wideFrom.ok() || !wideTo.ok()) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  return ::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool ReadSmallFile(const std::string& path, std::string* text) {
  const WidePath wide(path.c_str());
  if (!wide.ok()) return false;
  const UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file || !::GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) > kLargestText) return false;
  text->assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  return text->empty() || (::ReadFile(file.get(), &(*text)[0], static_cast<DWORD>(text->size()), &read, nullptr) &&
                           read == text->size());
}

// Writes text to a new file at path (nothing may stand there) and flushes it
// to the disk before it returns true.
bool WriteFlushedFile(const std::string& path, const std::string& text) {
  const WidePath wide(path.c_str());
  if (!wide.ok()) return false;
  UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const bool ok = file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size() && ::FlushFileBuffers(file.get());
  if (!ok) {
    const DWORD why = ::GetLastError();
    file.reset();
    (void)::DeleteFileW(wide.c_str());
    ::SetLastError(why != 0 ? why : ERROR_DISK_FULL);
  }
  return ok;
}

// The CRC-32 of a file's data; false when it cannot be read whole.
bool FileCrc(const std::string& path, uint64_t size, uint32_t* crc) {
  const WidePath wide(path.c_str());
  if (!wide.ok()) return false;
  const UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  constexpr DWORD kBufferSize = 64 * 1024;
  const std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBufferSize]);
  if (!file || !buffer) return false;
  uLong sum = crc32(0L, Z_NULL, 0);
  uint64_t total = 0;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer.get(), kBufferSize, &read, nullptr)) return false;
    if (read == 0) break;
    sum = crc32(sum, buffer.get(), read);
    total += read;
  }
  *crc = static_cast<uint32_t>(sum);
  return total == size;
}

OnDisk LookAt(const char* folder, const std::string& name, uint64_t sizeWanted) {
  OnDisk disk;
  const std::string path = Join(folder, name);
  const WidePath wide(path.c_str());
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!wide.ok() || !::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return disk;
  disk.present = true;
  disk.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  disk.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  disk.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  if (!disk.folder && disk.size == sizeWanted) disk.crcKnown = FileCrc(path, disk.size, &disk.crc);
  return disk;
}

// The files of the open archive that an install writes, each as the plan
// takes it; folder entries' names apart. Entries that cannot be installed
// are told to the observer and counted as failed.
struct PayloadListing {
  std::vector<PayloadFile> files;
  std::vector<PayloadFile> folders;  // their names and indexes only
};

bool Installable(const char* folder, const ZipEntryInfo& info) {
  if (IsAbsolutePath(info.name) || HasParentComponent(info.name) || UnsafePathReason(info.name) != nullptr) return false;
  const std::string path = Join(folder, info.name);
  if (!WidePath(path.c_str()).ok()) return false;
  std::string name = info.name;
  while (!name.empty() && IsSeparator(name.back())) name.pop_back();
  return RecordableName(name);
}

// Lists the archive's entries; entryResult(index, name, result, error) is
// called for each one that cannot be installed.
template <typename Failed>
void ListPayload(ZipHandle* handle, int32_t count, const char* folder, PayloadListing* listing, Failed failed) {
  ZipEntryInfo info;
  for (int32_t index = 0; index < count; ++index) {
    std::memset(&info, 0, sizeof info);
    const uint32_t got = ZipGetEntry(handle, index, &info);
    if (got != ZRES_OK) {
      failed(index, "", got, ::GetLastError());
      continue;
    }
    if (!Installable(folder, info)) {
      failed(index, info.name, ZRES_CANNOT_OPEN, ERROR_INVALID_NAME);
      continue;
    }
    if ((info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      PayloadFile entry;
      entry.name = info.name;
      entry.index = index;
      listing->folders.push_back(std::move(entry));
      continue;
    }
    PayloadFile file;
    file.name = info.name;
    file.size = static_cast<uint32_t>(info.uncompressedSize);
    file.index = index;
    const uint32_t read = ZipGetEntryCrc(handle, index, &file.crc);
    if (read != ZRES_OK) {
      failed(index, info.name, read, 0);
      continue;
    }
    listing->files.push_back(std::move(file));
  }
}

bool ReadRecord(const char* folder, std::vector<RecordedFile>* record) {
  std::string text;
  return ReadSmallFile(Join(folder, kInstallRecordName), &text) && ParseInstallRecord(text, record);
}

class FolderLookup final : public DiskLookup {
 public:
  explicit FolderLookup(const char* folder) : folder_(folder) {}
  OnDisk Look(const std::string& name, uint64_t sizeWanted) const override { return LookAt(folder_, name, sizeWanted); }

 private:
  const char* folder_;
};

std::vector<PlanItem> MakePlan(const char* folder, const PayloadListing& listing) {
  std::vector<RecordedFile> record;
  const bool hasRecord = ReadRecord(folder, &record);
  return PlanUpgrade(listing.files, hasRecord, record, FolderLookup(folder));
}

std::vector<RecordedFile> NewRecord(const PayloadListing& listing) {
  std::vector<RecordedFile> record;
  for (const PayloadFile& file : listing.files) record.push_back({file.name, file.size, file.crc});
  return record;
}

std::vector<JournalStep> JournalSteps(const std::vector<PlanItem>& plan, bool recordThere) {
  std::vector<JournalStep> steps;
  for (size_t n = 0; n < plan.size(); ++n) {
    const PlanAction action = plan[n].action;
    if (action == PlanAction::Write) steps.push_back({static_cast<uint32_t>(n), StepKind::Write, plan[n].name});
    if (action == PlanAction::Replace) steps.push_back({static_cast<uint32_t>(n), StepKind::Replace, plan[n].name});
    if (action == PlanAction::Remove) steps.push_back({static_cast<uint32_t>(n), StepKind::Remove, plan[n].name});
  }
  steps.push_back({static_cast<uint32_t>(plan.size()), recordThere ? StepKind::Replace : StepKind::Write,
                   kInstallRecordName});
  return steps;
}

// The switch's file system: each step's three places, and the folders of
// each target held proved no link while its renames run.
class Switch {
 public:
  Switch(const char* folder, const std::vector<JournalStep>& steps)
      : folder_(folder), staging_(StagingFolder(folder)), steps_(steps), guard_(folder) {}

  std::string PathOf(size_t step, Place place) const {
    const JournalStep& s = steps_[step];
    switch (place) {
      case Place::Target: return Join(folder_, s.name);
      case Place::Staged: return StepFile(staging_, s.number, ".new");
      case Place::Aside: return StepFile(staging_, s.number, ".old");
    }
    return std::string();
  }

  std::vector<StepOnDisk> Look() const {
    std::vector<StepOnDisk> disk;
    for (size_t i = 0; i < steps_.size(); ++i) {
      disk.push_back({IsFile(PathOf(i, Place::Target)), IsFile(PathOf(i, Place::Staged)), IsFile(PathOf(i, Place::Aside))});
    }
    return disk;
  }

  // Carries the renames out in order; false at the first that fails, with
  // *failedStep its step and the system's error kept.
  bool Run(const std::vector<Rename>& renames, size_t* failedStep) {
    for (const Rename& r : renames) {
      if (theSwitchRenameHook != nullptr) theSwitchRenameHook();
      // Making the target's folders is needed only when a file comes in.
      const uint32_t held = guard_.Hold(steps_[r.step].name.c_str(), false, r.to == Place::Target);
      if (held != ZRES_OK || !RenameFile(PathOf(r.step, r.from), PathOf(r.step, r.to))) {
        if (failedStep != nullptr) *failedStep = r.step;
        return false;
      }
    }
    return true;
  }

  // Turns back whatever of the switch is done, from what the disk shows.
  bool Undo() { return Run(RecoveryRenames(steps_, Look(), Recovery::Undo), nullptr); }

 private:
  std::string folder_;
  std::string staging_;
  const std::vector<JournalStep>& steps_;
  LinkGuard guard_;
};

// Removes the files in the staging folder, then the folder. A file that
// cannot be deleted yet (a program still maps an old file) stays, and so
// does the folder, for the next run. False when anything stays.
bool RemoveStaging(const std::string& staging) {
  const WidePath pattern((staging + "\\*").c_str());
  WIN32_FIND_DATAW found;
  if (pattern.ok()) {
    const UniqueFindHandle search(::FindFirstFileW(pattern.c_str(), &found));
    if (search) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        std::string name;
        if (Utf16ToGbk(AsU16(found.cFileName), &name)) (void)DeleteAnyFile(Join(staging, name));
      } while (::FindNextFileW(search.get(), &found));
    }
  }
  const WidePath wide(staging.c_str());
  return wide.ok() && ::RemoveDirectoryW(wide.c_str());
}

// The staging folder, made where missing, hidden, and proved a real folder
// (not a link that would carry the old files elsewhere): held open by the
// guard for as long as the guard holds it.
bool MakeStaging(LinkGuard& guard, const std::string& staging) {
  if (guard.Hold(kStagingFolderName, true, true) != ZRES_OK) return false;
  const WidePath wide(staging.c_str());
  const DWORD attributes = wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) == 0) {
    (void)::SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
  }
  return attributes != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

FolderRecovery RecoverInstallFolder(const char* folder, std::string* said) {
  said->clear();
  const std::string staging = StagingFolder(folder);
  const DWORD attributes = AttributesOf(staging);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FolderRecovery::Nothing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || LinkGuard(folder).Hold(kStagingFolderName, true, false) != ZRES_OK) {
    *said = staging + " is not a folder of the installer's: left as it is";
    return FolderRecovery::Failed;
  }
  const std::string journalPath = Join(staging, kJournalName);
  if (!IsFile(journalPath)) {
    *said = RemoveStaging(staging) ? "the staging folder of a run that did not switch was removed"
                                   : "the staging folder of a run that did not switch was emptied as far as it could be";
    return FolderRecovery::Cleaned;
  }
  std::string text;
  std::vector<JournalStep> steps;
  if (!ReadSmallFile(journalPath, &text) || !ParseJournal(text, &steps)) {
    *said = journalPath + " cannot be read: the folder is left as it is";
    return FolderRecovery::Failed;
  }
  Switch change(folder, steps);
  const std::vector<StepOnDisk> disk = change.Look();
  FolderRecovery outcome = FolderRecovery::Undone;
  if (DecideRecovery(steps, disk) == Recovery::Finish &&
      change.Run(RecoveryRenames(steps, disk, Recovery::Finish), nullptr)) {
    outcome = FolderRecovery::Finished;
  } else if (!change.Undo()) {
    char why[64];
    (void)std::snprintf(why, sizeof why, " (system error %lu)", ::GetLastError());
    *said = "a switch cut short could be neither finished nor undone" + std::string(why) + "; the journal stays";
    return FolderRecovery::Failed;
  }
  (void)DeleteAnyFile(journalPath);
  (void)RemoveStaging(staging);
  *said = outcome == FolderRecovery::Finished ? "a switch cut short was finished: the folder holds the new version"
                                              : "a switch cut short was undone: the folder holds the version it held";
  return outcome;
}

PayloadResult UpgradeArchive(ZipHandle* handle, const char* folder, UnpackObserver* observer) {
  PayloadResult result;
  result.unchanged = true;
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  if (handle == nullptr || ZipGetEntry(handle, -1, &info) != ZRES_OK) return result;
  result.opened = true;
  result.entryCount = info.index;

  // A switch an earlier run left is mended first; one that cannot be keeps
  // the folder as it is.
  std::string recovered;
  if (RecoverInstallFolder(folder, &recovered) == FolderRecovery::Failed) {
    result.failure = recovered;
    ++result.failedCount;
    return result;
  }

  const auto tell = [&](int32_t index, const std::string& name, uint32_t outcome, unsigned long error, uint64_t bytes,
                        bool folderEntry, bool kept, uint32_t heldMs) {
    const std::string target = Join(folder, name);
    UnpackedEntry entry;
    entry.index = index;
    entry.name = name.c_str();
    entry.target = target.c_str();
    entry.folder = folderEntry;
    entry.result = outcome;
    entry.systemError = error;
    entry.bytes = bytes;
    entry.kept = kept;
    entry.heldMs = heldMs;
    if (outcome != ZRES_OK) ++result.failedCount;
    if (outcome == ZRES_FILE_HELD) ++result.heldCount;
    if (observer != nullptr) observer->EntryDone(entry);
  };

  // 1. The plan, from the payload, the folder and the last record. Nothing
  // is made or written yet; a folder on the way that is a link, or a file
  // where a folder must be, fails its entries.
  PayloadListing listing;
  ListPayload(handle, result.entryCount, folder, &listing,
              [&](int32_t index, const char* name, uint32_t outcome, unsigned long error) {
                tell(index, name, outcome, error, 0, false, false, 0);
              });
  {
    LinkGuard look(folder);
    const auto check = [&](int32_t index, const std::string& name, bool folderEntry) {
      const uint32_t held = look.Hold(name.c_str(), folderEntry, false);
      const DWORD error = ::GetLastError();
      if (held == ZRES_OK || (held == ZRES_CANNOT_OPEN && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))) {
        return true;
      }
      tell(index, name, held, error, 0, folderEntry, false, 0);
      return false;
    };
    for (const PayloadFile& entry : listing.folders) (void)check(entry.index, entry.name, true);
    for (const PayloadFile& file : listing.files) (void)check(file.index, file.name, false);
    result.linkedFolders = look.LinkedFolders();
  }
  if (result.failedCount != 0) return result;
  const std::vector<PlanItem> plan = MakePlan(folder, listing);
  for (const PlanItem& item : plan) {
    if (item.action == PlanAction::Refuse) {
      tell(item.index, item.name, ZRES_CANNOT_OPEN, ERROR_ACCESS_DENIED, 0, false, false, 0);
    }
  }
  if (result.failedCount != 0) return result;

  // 2. Every new or changed file staged and verified. A failure here leaves
  // the folder as it was, but for the staging folder, which goes.
  const std::string staging = StagingFolder(folder);
  // Held while staging and switching; let go before the folder goes.
  std::unique_ptr<LinkGuard> stagingGuard(new LinkGuard(folder));
  // A first install that fails leaves no empty folder of its own making.
  const bool madeFolder = AttributesOf(folder) == INVALID_FILE_ATTRIBUTES;
  const auto removeStaging = [&] {
    stagingGuard.reset();
    if (RemoveStaging(staging) && madeFolder && result.unchanged) {
      const WidePath wide(folder);
      if (wide.ok()) (void)::RemoveDirectoryW(wide.c_str());
    }
  };
  if (!MakeStaging(*stagingGuard, staging)) {
    char line[80];
    (void)std::snprintf(line, sizeof line, "the staging folder cannot be made (system error %lu)", ::GetLastError());
    result.failure = staging + ": " + line;
    ++result.failedCount;
    removeStaging();
    return result;
  }
  // Entries are told as they fail, or once the switch has put them in place.
  for (size_t n = 0; n < plan.size() && result.failedCount == 0; ++n) {
    const PlanItem& item = plan[n];
    if (!Writes(item.action)) continue;
    const std::string staged = StepFile(staging, static_cast<uint32_t>(n), ".new");
    (void)DeleteAnyFile(staged);
    const uint32_t written = ZipExtractEntryWaiting(handle, item.index, staged.c_str(), nullptr, nullptr);
    if (written != ZRES_OK) tell(item.index, item.name, written, ::GetLastError(), 0, false, false, 0);
  }
  std::vector<JournalStep> steps = JournalSteps(plan, IsFile(Join(folder, kInstallRecordName)));
  const std::string recordText = SerializeInstallRecord(NewRecord(listing));
  if (result.failedCount == 0 && !WriteFlushedFile(StepFile(staging, steps.back().number, ".new"), recordText)) {
    char line[80];
    (void)std::snprintf(line, sizeof line, "the install record cannot be staged (system error %lu)", ::GetLastError());
    result.failure = line;
    ++result.failedCount;
  }
  if (result.failedCount != 0) {
    removeStaging();
    return result;
  }

  // 3. Every file to be replaced or removed opened as the switch needs it,
  // before any is touched: a file another program holds is waited for, and
  // then asked about; one given up keeps the whole installed version.
  for (const PlanItem& item : plan) {
    if (!MovesAside(item.action)) continue;
    const std::string target = Join(folder, item.name);
    const WidePath wide(target.c_str());
    const DWORD firstTry = ::GetTickCount();
    DWORD roundStart = firstTry;
    HeldFileWait wait;
    for (;;) {
      const UniqueHandle file(::CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      if (file) break;
      const DWORD error = ::GetLastError();
      if (!IsHeldFileError(error, false)) {
        tell(item.index, item.name, ZRES_CANNOT_OPEN, error, 0, false, false, 0);
        break;
      }
      const uint32_t pause = wait.NextPause(::GetTickCount() - roundStart);
      if (pause != 0) {
        ::Sleep(pause);
        continue;
      }
      if (observer == nullptr || !observer->WaitAgain(target.c_str(), error)) {
        tell(item.index, item.name, ZRES_FILE_HELD, error, 0, false, false, ::GetTickCount() - firstTry);
        break;
      }
      wait = HeldFileWait();
      roundStart = ::GetTickCount();
    }
    if (result.failedCount != 0) break;
  }
  if (result.failedCount != 0) {
    removeStaging();
    return result;
  }

  // 4. The switch: the journal in place and on the disk before the first
  // rename; each old file aside, each new one in. A rename that fails turns
  // back those done.
  for (const PayloadFile& entry : listing.folders) (void)stagingGuard->Hold(entry.name.c_str(), true, true);
  (void)stagingGuard->Hold(kStagingFolderName, true, false);
  const std::string journalPath = Join(staging, kJournalName);
  if (!WriteFlushedFile(journalPath, SerializeJournal(steps))) {
    char line[80];
    (void)std::snprintf(line, sizeof line, "the switch journal cannot be written (system error %lu)", ::GetLastError());
    result.failure = line;
    ++result.failedCount;
    removeStaging();
    return result;
  }
  Switch change(folder, steps);
  std::vector<StepOnDisk> before;
  for (const JournalStep& step : steps) {
    before.push_back({step.kind != StepKind::Write, step.kind != StepKind::Remove, false});
  }
  size_t failedStep = 0;
  if (!change.Run(RecoveryRenames(steps, before, Recovery::Finish), &failedStep)) {
    const DWORD error = ::GetLastError();
    const std::string name = steps[failedStep].name;
    if (change.Undo()) {
      (void)DeleteAnyFile(journalPath);
      removeStaging();
      result.failure = Join(folder, name) + ": cannot be moved (system error " + std::to_string(error) +
                       "); the switch was turned back";
    } else {
      result.unchanged = false;
      result.failure = Join(folder, name) + ": cannot be moved (system error " + std::to_string(error) +
                       "), and the switch could not be turned back; the next start of the installer mends it";
    }
    ++result.failedCount;
    return result;
  }
  result.unchanged = false;
  (void)DeleteAnyFile(journalPath);
  removeStaging();
  result.writtenBytes = recordText.size();  // the record is part of the install
  for (const PlanItem& item : plan) {
    if (item.action == PlanAction::Remove) ++result.removedCount;
    if (item.action == PlanAction::Keep) ++result.keptCount;
    if (item.action != PlanAction::Keep && !Writes(item.action)) continue;
    result.writtenBytes += item.size;
    tell(item.index, item.name, ZRES_OK, 0, item.size, false, item.action == PlanAction::Keep, 0);
  }
  for (const PayloadFile& entry : listing.folders) tell(entry.index, entry.name, ZRES_OK, 0, 0, true, false, 0);
  return result;
}

PayloadResult UpgradePayload(const char* installDir, UnpackObserver* observer) {
  ZipHandle* handle = OpenEmbeddedPayload();
  if (handle == nullptr) {
    PayloadResult result;
    result.unchanged = true;
    return result;
  }
  const PayloadResult result = UpgradeArchive(handle, installDir, observer);
  (void)ZipClose(handle);
  return result;
}

bool StagedPayloadSizes(const char* installDir, std::vector<uint64_t>* sizes, uint64_t* journalBytes,
                        uint64_t* recordBytes) {
  ZipHandle* handle = OpenEmbeddedPayload();
  ZipEntryInfo info;
  std::memset(&info, 0, sizeof info);
  if (handle == nullptr || ZipGetEntry(handle, -1, &info) != ZRES_OK) {
    if (handle != nullptr) (void)ZipClose(handle);
    return false;
  }
  PayloadListing listing;
  ListPayload(handle, info.index, installDir, &listing, [](int32_t, const char*, uint32_t, unsigned long) {});
  (void)ZipClose(handle);
  const std::vector<PlanItem> plan = MakePlan(installDir, listing);
  sizes->clear();
  for (const PlanItem& item : plan) {
    if (Writes(item.action)) sizes->push_back(item.size);
  }
  *journalBytes = SerializeJournal(JournalSteps(plan, true)).size();
  *recordBytes = SerializeInstallRecord(NewRecord(listing)).size();
  return true;
}
