// The values the windows and the install step share. One instance lives for
// the whole run; nothing is persisted.
#pragma once

#include <atomic>
#include <string>

#include "archive/payload_result.h"
#include "core/command_line.h"

// What the install step achieved. The process exit status is derived from it
// (InstallExitStatus), and the end of the install consults it.
enum class InstallOutcome {
  NotRun,         // the install step never ran (cancelled before it began)
  Installed,      // every payload entry was written
  Refused,        // the user declined to end the running client; nothing installed
  PayloadFailed,  // the payload could not be opened, or an entry failed
  AlreadyRunning, // unattended, while another installer ran: nothing done
  NotStarted,     // the install could not start: its window could not be made, or
                  // the unattended folder cannot be used; nothing installed
  NoSpace,        // unattended, the folder's drive has too little free space; nothing installed
  FilesHeld,      // every entry not written was a file another program held
  HelpShown,      // /? : the options were shown; nothing installed
};

// Exit status of the process for an outcome: 0 installed (or nothing asked),
// 1 refused, 2 payload failure or no window to install with, 3 another
// installer was running, 4 too little disk space, 5 files held by other
// programs (and nothing else failed).
int InstallExitStatus(InstallOutcome outcome);

// The status of a run whose session ends while its step may still run: the
// outcome the step earned when it has ended, or when everything but the
// reports is in place; otherwise the install is not whole.
InstallOutcome OutcomeAtSessionEnd(bool stepEnded, bool inPlace, InstallOutcome earned);

// A flag one thread sets and another reads while the first may still run:
// what the setter wrote before Set is seen by a reader after Get. A copy
// takes the value.
class SharedFlag {
 public:
  SharedFlag() = default;
  SharedFlag(const SharedFlag& other) : value_(other.Get()) {}
  SharedFlag& operator=(const SharedFlag& other) {
    value_.store(other.Get(), std::memory_order_release);
    return *this;
  }
  void Set() { value_.store(true, std::memory_order_release); }
  bool Get() const { return value_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> value_{false};
};

struct InstallState {
  std::string m_strInstallDir;   // narrow GBK path; see the folder rules
  int m_bDesktopIcon = 0;        // 1: make the desktop shortcut
  int m_bRunAfterInstall = 0;    // 1: start kvUpdate.exe when done instead of showing the outcome
  int m_bAdmin = 0;              // 1: unattended run
  CommandLineOptions m_options;  // what the command line asked for
  InstallOutcome m_outcome = InstallOutcome::NotRun;
  PayloadResult m_payload;       // what unpacking achieved; m_outcome follows from it

  // Set by the step once the files, the Uninstall values and the shortcuts
  // are in place and only the reports remain, after m_outcome; read by the
  // window's thread while the step may still run (a session that ends).
  void MarkInPlace() { m_inPlace.Set(); }
  bool InPlace() const { return m_inPlace.Get(); }

 private:
  SharedFlag m_inPlace;
};
