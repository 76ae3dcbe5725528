#include "archive/upgrade_win.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "archive/handle_files_win.h"
#include "archive/held_wait.h"
#include "archive/install_record.h"
#include "archive/link_guard_win.h"
#include "archive/upgrade_journal.h"
#include "archive/upgrade_plan.h"
#include "archive/zip_extract_win.h"
#include "archive/zip_name_rules.h"
#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/path_names.h"
#include "base/wide.h"

void (*theSwitchRenameHook)() = nullptr;

namespace {

// A record or journal larger than this is no record of ours.
constexpr uint64_t kLargestText = 16u << 20;
constexpr DWORD kShareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kErrorReparsePoint = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

std::string Join(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

DWORD AttributesOf(const std::string& path) {
  const WidePath wide(path.c_str());
  return wide.ok() ? ::GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

// A step's file in the staging folder: "<n>.new" or "<n>.old".
struct StepName {
  StepName(uint32_t number, const char* suffix) {
    char narrow[24];
    (void)std::snprintf(narrow, sizeof narrow, "%lu%s", static_cast<unsigned long>(number), suffix);
    for (size_t i = 0;; ++i) {
      wide[i] = static_cast<unsigned char>(narrow[i]);
      if (narrow[i] == '\0') break;
    }
  }
  wchar_t wide[24];
};

constexpr wchar_t kJournalFile[] = L"journal.txt";
constexpr wchar_t kRecordFile[] = L"kvsetup.files";

// The last component of a relative GBK name, as UTF-16. Empty when it is
// not GBK.
std::u16string LeafName(const std::string& name) {
  const char* last = FindLastSeparator(name.c_str());
  std::u16string leaf;
  if (!GbkToUtf16(last != nullptr ? last + 1 : name.c_str(), &leaf)) leaf.clear();
  return leaf;
}

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// Whether a file (not a folder) stands at name in folder.
bool FileIn(HANDLE folder, const wchar_t* name) {
  return folder != nullptr && static_cast<bool>(OpenFileIn(folder, name, FILE_READ_ATTRIBUTES, kShareEverything));
}

// Deletes name in folder, read-only or not. False when it stays.
bool DeleteAnyIn(HANDLE folder, const wchar_t* name) {
  if (DeleteIn(folder, name)) return true;
  const UniqueHandle file = OpenFileIn(folder, name, FILE_WRITE_ATTRIBUTES, kShareEverything);
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return file && ::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic) && DeleteIn(folder, name);
}

// Moves the file name in from (a folder handle) to the new name in to,
// which must be free; both by handle, never by path.
bool MoveIn(HANDLE from, const wchar_t* fromName, HANDLE to, const wchar_t* toName) {
  const UniqueHandle file = OpenFileIn(from, fromName, DELETE, kShareEverything);
  return file && RenameInto(file.get(), to, toName, false);
}

bool ReadSmallIn(HANDLE folder, const wchar_t* name, std::string* text) {
  const UniqueHandle file = OpenFileIn(folder, name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
  LARGE_INTEGER size;
  if (!file || !::GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) > kLargestText) return false;
  text->assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  return text->empty() || (::ReadFile(file.get(), &(*text)[0], static_cast<DWORD>(text->size()), &read, nullptr) &&
                           read == text->size());
}

// Writes text to name in folder, whole or not at all: to a new file that
// takes the name (replacing what had it) only once its data are flushed to
// the disk. A kill part-way leaves the file that had the name, or none.
bool WriteFlushedIn(HANDLE folder, const wchar_t* name, const std::string& text) {
  static const wchar_t kPart[] = L"writing.part";
  (void)DeleteAnyIn(folder, kPart);
  UniqueHandle file = CreateFileIn(folder, kPart, GENERIC_WRITE | DELETE, 0, FILE_ATTRIBUTE_NORMAL);
  DWORD written = 0;
  const bool ok = file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size() && ::FlushFileBuffers(file.get()) && RenameInto(file.get(), folder, name, true);
  if (!ok && file) {
    const DWORD why = ::GetLastError();
    FILE_DISPOSITION_INFO gone = {TRUE};
    (void)::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone);
    ::SetLastError(why != 0 ? why : ERROR_DISK_FULL);
  }
  return ok;
}

// The staging folder, held open and proved a real folder (never a link
// that would carry the old files elsewhere) for as long as it is used.
class Staging {
 public:
  explicit Staging(const char* folder) : folder_(folder) {}

  // Made where missing when make is set, and hidden.
  bool Open(bool make) {
    guard_.reset(new LinkGuard(folder_));
    if (guard_->Hold(kStagingFolderName, true, make) != ZRES_OK) {
      guard_.reset();
      return false;
    }
    const std::string path = Join(folder_, kStagingFolderName);
    const DWORD attributes = AttributesOf(path);
    if (make && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) == 0) {
      const WidePath wide(path.c_str());
      (void)::SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
    }
    return true;
  }

  HANDLE Folder() const { return guard_ ? guard_->Folder() : nullptr; }

  // Deletes every file in it, then the folder itself. A file that cannot be
  // deleted yet (a program still maps an old file) stays, and so does the
  // folder, for the next run. False when anything stays.
  bool Remove() {
    if (!guard_) return false;
    alignas(8) unsigned char buffer[8192];
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
         ::GetFileInformationByHandleEx(Folder(), kind, buffer, sizeof buffer); kind = FileIdBothDirectoryInfo) {
      for (size_t at = 0;;) {
        const auto* found = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
        const size_t length = found->FileNameLength / sizeof(wchar_t);
        if ((found->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && length < MAX_PATH) {
          wchar_t name[MAX_PATH];
          std::memcpy(name, found->FileName, length * sizeof(wchar_t));
          name[length] = L'\0';
          (void)DeleteAnyIn(Folder(), name);
        }
        if (found->NextEntryOffset == 0) break;
        at += found->NextEntryOffset;
      }
    }
    guard_.reset();
    LinkGuard root(folder_);
    return root.Hold(kInstallRecordName, false, false) == ZRES_OK && DeleteIn(root.Folder(), L"~kvstage");
  }

 private:
  const char* folder_;
  std::unique_ptr<LinkGuard> guard_;
};

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

bool Installable(const ZipEntryInfo& info) {
  if (HasParentComponent(info.name) || !WidePath(info.name).ok()) return false;
  std::string name = info.name;
  while (!name.empty() && IsSeparator(name.back())) name.pop_back();
  return RecordableName(name);
}

// Told of an entry that cannot be installed: its index, name, result and
// system error.
using EntryFailed = void (*)(void* context, int32_t index, const char* name, uint32_t result, unsigned long error);

// Lists the archive's entries; failed (when given) is told of each one
// that cannot be installed.
void ListPayload(ZipHandle* handle, int32_t count, PayloadListing* listing, EntryFailed failed, void* context) {
  ZipEntryInfo info;
  for (int32_t index = 0; index < count; ++index) {
    std::memset(&info, 0, sizeof info);
    const uint32_t got = ZipGetEntry(handle, index, &info);
    if (got != ZRES_OK) {
      if (failed != nullptr) failed(context, index, "", got, ::GetLastError());
      continue;
    }
    if (!Installable(info)) {
      if (failed != nullptr) failed(context, index, info.name, ZRES_CANNOT_OPEN, ERROR_INVALID_NAME);
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
      if (failed != nullptr) failed(context, index, info.name, read, 0);
      continue;
    }
    listing->files.push_back(std::move(file));
  }
}

// The record of the last install, read through the install folder's handle.
bool ReadRecord(const char* folder, std::vector<RecordedFile>* record) {
  LinkGuard root(folder);
  std::string text;
  return root.Hold(kInstallRecordName, false, false) == ZRES_OK && ReadSmallIn(root.Folder(), kRecordFile, &text) &&
         ParseInstallRecord(text, record);
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

// The switch's file system: each step's three places, every one named
// within a held folder: the target's folders held and proved no link while
// its renames run, the step's files in the staging folder.
class Switch {
 public:
  Switch(const char* folder, const std::vector<JournalStep>& steps, HANDLE staging)
      : steps_(steps), staging_(staging), guard_(folder) {}

  std::vector<StepOnDisk> Look() {
    std::vector<StepOnDisk> disk(steps_.size());
    for (size_t i = 0; i < steps_.size(); ++i) {
      const JournalStep& step = steps_[i];
      const bool held = guard_.Hold(step.name.c_str(), false, false) == ZRES_OK;
      disk[i] = {held && FileIn(guard_.Folder(), W(LeafName(step.name))),
                 FileIn(staging_, StepName(step.number, ".new").wide), FileIn(staging_, StepName(step.number, ".old").wide)};
    }
    return disk;
  }

  // Carries the renames out in order; false at the first that fails, with
  // *failedStep its step and the system's error kept. A target's folder
  // found a link once its file moved stops the switch as a failed rename.
  bool Run(const std::vector<Rename>& renames, size_t* failedStep) {
    for (const Rename& r : renames) {
      if (theSwitchRenameHook != nullptr) theSwitchRenameHook();
      const JournalStep& step = steps_[r.step];
      // Making the target's folders is needed only when a file comes in.
      bool done = guard_.Hold(step.name.c_str(), false, r.to == Place::Target) == ZRES_OK;
      if (done) {
        const std::u16string leaf = LeafName(step.name);
        const StepName staged(step.number, ".new"), aside(step.number, ".old");
        const auto folderOf = [&](Place place) { return place == Place::Target ? guard_.Folder() : staging_; };
        const auto nameOf = [&](Place place) {
          return place == Place::Target ? W(leaf) : place == Place::Staged ? staged.wide : aside.wide;
        };
        done = MoveIn(folderOf(r.from), nameOf(r.from), folderOf(r.to), nameOf(r.to));
        if (done && guard_.Recheck() != ZRES_OK) {
          done = false;
          ::SetLastError(kErrorReparsePoint);
        }
      }
      if (!done) {
        if (failedStep != nullptr) *failedStep = r.step;
        return false;
      }
    }
    return true;
  }

  // Turns back whatever of the switch is done, from what the disk shows.
  bool Undo() { return Run(RecoveryRenames(steps_, Look(), Recovery::Undo), nullptr); }

  const std::string& LinkedFolders() const { return guard_.LinkedFolders(); }

 private:
  const std::vector<JournalStep>& steps_;
  HANDLE staging_;
  LinkGuard guard_;
};

}  // namespace

FolderRecovery RecoverInstallFolder(const char* folder, std::string* said) {
  said->clear();
  const std::string path = Join(folder, kStagingFolderName);
  if (AttributesOf(path) == INVALID_FILE_ATTRIBUTES) return FolderRecovery::Nothing;
  Staging staging(folder);
  if (!staging.Open(false)) {
    *said = "the staging folder is not a folder of the installer's: left as it is";
    return FolderRecovery::Failed;
  }
  if (!FileIn(staging.Folder(), kJournalFile)) {
    *said = staging.Remove() ? "the staging folder of a run that did not switch was removed"
                             : "the staging folder of a run that did not switch was emptied as far as it could be";
    return FolderRecovery::Cleaned;
  }
  std::string text;
  std::vector<JournalStep> steps;
  if (!ReadSmallIn(staging.Folder(), kJournalFile, &text) || !ParseJournal(text, &steps)) {
    *said = "the switch journal cannot be read: the folder is left as it is";
    return FolderRecovery::Failed;
  }
  FolderRecovery outcome = FolderRecovery::Undone;
  {
    Switch change(folder, steps, staging.Folder());
    const std::vector<StepOnDisk> disk = change.Look();
    if (DecideRecovery(steps, disk) == Recovery::Finish &&
        change.Run(RecoveryRenames(steps, disk, Recovery::Finish), nullptr)) {
      outcome = FolderRecovery::Finished;
    } else if (!change.Undo()) {
      *said = "a switch cut short could be neither finished nor undone: the journal stays";
      return FolderRecovery::Failed;
    }
  }
  (void)DeleteAnyIn(staging.Folder(), kJournalFile);
  (void)staging.Remove();
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
  const auto failed = [&](const std::string& what) {
    char line[48];
    (void)std::snprintf(line, sizeof line, " (system error %lu)", ::GetLastError());
    result.failure = what + line;
    ++result.failedCount;
  };

  // 1. The plan, from the payload, the folder and the last record. Nothing
  // is made or written yet; a folder on the way that is a link, or a file
  // where a folder must be, fails its entries.
  PayloadListing listing;
  ListPayload(
      handle, result.entryCount, &listing,
      [](void* context, int32_t index, const char* name, uint32_t outcome, unsigned long error) {
        (*static_cast<decltype(&tell)>(context))(index, name, outcome, error, 0, false, false, 0);
      },
      const_cast<void*>(static_cast<const void*>(&tell)));
  {
    LinkGuard look(folder);
    const auto check = [&](int32_t index, const std::string& name, bool folderEntry) {
      const uint32_t held = look.Hold(name.c_str(), folderEntry, false);
      const DWORD error = ::GetLastError();
      if (held != ZRES_OK && !(held == ZRES_CANNOT_OPEN && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))) {
        tell(index, name, held, error, 0, folderEntry, false, 0);
      }
    };
    for (const PayloadFile& entry : listing.folders) check(entry.index, entry.name, true);
    for (const PayloadFile& file : listing.files) check(file.index, file.name, false);
    result.linkedFolders = look.LinkedFolders();
    result.untrustedJunction = look.UntrustedJunction();
  }
  if (result.failedCount != 0) return result;
  const std::vector<PlanItem> plan = MakePlan(folder, listing);
  for (const PlanItem& item : plan) {
    if (item.action == PlanAction::Refuse) {
      tell(item.index, item.name, ZRES_CANNOT_OPEN, ERROR_ACCESS_DENIED, 0, false, false, 0);
    }
  }
  if (result.failedCount != 0) return result;

  // 2. Every new or changed file staged and verified, through the staging
  // folder's handle. A failure here leaves the folder as it was; the
  // staging folder goes, and a first install's folder too.
  const bool madeFolder = AttributesOf(folder) == INVALID_FILE_ATTRIBUTES;
  Staging staging(folder);
  const auto giveUp = [&] {
    if (staging.Remove() && madeFolder && result.unchanged) {
      const WidePath wide(folder);
      if (wide.ok()) (void)::RemoveDirectoryW(wide.c_str());
    }
    return result;
  };
  if (!staging.Open(true)) {
    failed(Join(folder, kStagingFolderName) + ": the staging folder cannot be made");
    return giveUp();
  }
  // Entries are told as they fail, or once the switch has put them in place.
  // The plan keeps the archive's order, so entries are decoded ahead while
  // each is written; without the workers, as before.
  (void)ZipStartReadAhead(handle);
  for (size_t n = 0; n < plan.size() && result.failedCount == 0; ++n) {
    const PlanItem& item = plan[n];
    if (!Writes(item.action)) continue;
    char staged[24];
    (void)std::snprintf(staged, sizeof staged, "%lu.new", static_cast<unsigned long>(n));
    const uint32_t written = ZipExtractFileIn(handle, item.index, staging.Folder(), staged, staged, nullptr, nullptr,
                                              nullptr);
    if (written != ZRES_OK) tell(item.index, item.name, written, ::GetLastError(), 0, false, false, 0);
  }
  std::vector<JournalStep> steps;
  {
    LinkGuard root(folder);
    steps = JournalSteps(plan, root.Hold(kInstallRecordName, false, false) == ZRES_OK &&
                                   FileIn(root.Folder(), kRecordFile));
  }
  const std::string recordText = SerializeInstallRecord(listing.files);
  if (result.failedCount == 0 &&
      !WriteFlushedIn(staging.Folder(), StepName(steps.back().number, ".new").wide, recordText)) {
    failed("the install record cannot be staged");
  }
  if (result.failedCount != 0) return giveUp();

  // 3. Every file to be replaced or removed opened as the switch needs it,
  // before any is touched: a file another program holds is waited for
  // within the run's budget, and then asked about; every one is checked, so
  // that all held files are named, and one given up keeps the whole
  // installed version.
  {
    LinkGuard look(folder);
    RunHeldBudget* budget = observer != nullptr ? &observer->HeldBudget() : nullptr;
    for (const PlanItem& item : plan) {
      if (!MovesAside(item.action)) continue;
      const std::string target = Join(folder, item.name);
      const std::u16string leaf = LeafName(item.name);
      const DWORD firstTry = ::GetTickCount();
      bool held = false;
      for (;;) {
        if (look.Hold(item.name.c_str(), false, false) == ZRES_OK &&
            OpenFileIn(look.Folder(), W(leaf), DELETE | FILE_READ_ATTRIBUTES, kShareEverything)) {
          if (held) budget->EndRound(::GetTickCount());
          break;
        }
        ReplaceRefusal refusal;
        refusal.error = refusal.deleteOpenError = ::GetLastError();
        const bool isHeld = IsHeldFile(refusal);
        if (budget == nullptr || !isHeld) {
          if (held) budget->EndRound(::GetTickCount());
          tell(item.index, item.name, isHeld ? ZRES_FILE_HELD : ZRES_CANNOT_OPEN, refusal.error, 0, false, false,
               held ? ::GetTickCount() - firstTry : 0);
          break;
        }
        if (!held) budget->BeginRound(firstTry, false);
        held = true;
        const uint32_t pause = budget->NextPause(::GetTickCount());
        if (pause != 0) {
          ::Sleep(pause);
          continue;
        }
        budget->EndRound(::GetTickCount());
        if (!observer->WaitAgain(target.c_str(), refusal.error)) {
          tell(item.index, item.name, ZRES_FILE_HELD, refusal.error, 0, false, false, ::GetTickCount() - firstTry);
          break;
        }
        budget->BeginRound(::GetTickCount(), true);
      }
    }
  }
  if (result.failedCount != 0) return giveUp();

  // 4. The switch: the journal in place and on the disk before the first
  // rename; each old file aside, each new one in. A rename that fails turns
  // back those done.
  {
    LinkGuard folders(folder);
    for (const PayloadFile& entry : listing.folders) (void)folders.Hold(entry.name.c_str(), true, true);
  }
  if (!WriteFlushedIn(staging.Folder(), kJournalFile, SerializeJournal(steps))) {
    failed("the switch journal cannot be written");
    return giveUp();
  }
  std::vector<StepOnDisk> before(steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    before[i] = {steps[i].kind != StepKind::Write, steps[i].kind != StepKind::Remove, false};
  }
  {
    Switch change(folder, steps, staging.Folder());
    size_t failedStep = 0;
    if (!change.Run(RecoveryRenames(steps, before, Recovery::Finish), &failedStep)) {
      const DWORD error = ::GetLastError();
      const JournalStep& step = steps[failedStep];
      const int32_t index = step.number < plan.size() ? plan[step.number].index : -1;
      tell(index, step.name, error == kErrorReparsePoint ? ZRES_LINK_IN_PATH : ZRES_CANNOT_OPEN, error, 0, false, false, 0);
      ::SetLastError(error);
      failed(Join(folder, step.name) + ": cannot be moved");
      --result.failedCount;  // told already
      result.linkedFolders += change.LinkedFolders();
      if (!change.Undo()) {
        result.unchanged = false;
        result.failure += ", and the switch could not be turned back; the next start of the installer mends it";
        return result;
      }
      result.failure += "; the switch was turned back";
      (void)DeleteAnyIn(staging.Folder(), kJournalFile);
      return giveUp();
    }
  }
  result.unchanged = false;
  (void)DeleteAnyIn(staging.Folder(), kJournalFile);
  (void)staging.Remove();
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
  ListPayload(handle, info.index, &listing, nullptr, nullptr);
  (void)ZipClose(handle);
  const std::vector<PlanItem> plan = MakePlan(installDir, listing);
  sizes->clear();
  for (const PlanItem& item : plan) {
    if (Writes(item.action)) sizes->push_back(item.size);
  }
  *journalBytes = SerializeJournal(JournalSteps(plan, true)).size();
  *recordBytes = SerializeInstallRecord(listing.files).size();
  return true;
}
