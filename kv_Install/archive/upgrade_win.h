// Installing the payload as one change to the folder: the plan from what is
// there, every new or changed file staged and verified in the hidden staging
// folder, every file to be replaced or removed checked free, then the switch
// by renames under a journal, and the record of what was installed. A run
// that fails before the switch, or whose switch fails, leaves the installed
// version as it was; a run cut short anywhere leaves one that the next start
// mends (RecoverInstallFolder). The README's "Upgrades" tells the whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/payload.h"

// What the start of a run did about a switch cut short in a folder.
enum class FolderRecovery {
  Nothing,     // no staging folder: the last run ended as it should
  Cleaned,     // a staging folder with no journal: removed (what was in it could be)
  Finished,    // a journal: the switch was taken to its end
  Undone,      // a journal: the switch was turned back
  Failed,      // a journal that could not be read or carried out: left as it is
};

// Finishes or undoes the switch a journal in folder's staging folder
// describes, from which files are where, then removes the staging folder
// (a file that cannot be deleted yet stays for the next run). Running it
// again does nothing more. said: one line for the log, empty for Nothing.
FolderRecovery RecoverInstallFolder(const char* folder, std::string* said);

// Installs the open archive into folder as above. A folder with a switch
// left that cannot be mended is not touched. Entries are told to the
// observer, which also decides about held files, as for UnpackArchive.
PayloadResult UpgradeArchive(ZipHandle* handle, const char* folder, UnpackObserver* observer);
PayloadResult UpgradePayload(const char* installDir, UnpackObserver* observer);

// What installing the embedded payload into installDir would write, from
// the same plan: each new or changed file's size, and the journal's and the
// record's bytes. False when the archive cannot be opened.
bool StagedPayloadSizes(const char* installDir, std::vector<uint64_t>* sizes, uint64_t* journalBytes,
                        uint64_t* recordBytes);

// Called before each rename of a switch when set: a test build pauses there,
// so that its test can end the run part-way through a switch.
extern void (*theSwitchRenameHook)();
