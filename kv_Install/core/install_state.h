// The values the windows and the install step share. One instance lives for
// the whole run; nothing is persisted.
#pragma once

#include <string>

#include "archive/payload_result.h"

// What the install step achieved. The process exit status is derived from it
// (InstallExitStatus), and the end of the install consults it.
enum class InstallOutcome {
  NotRun,         // the install step never ran (cancelled before it began)
  Installed,      // every payload entry was written
  Refused,        // the user declined to end the running client; nothing installed
  PayloadFailed,  // the payload could not be opened, or an entry failed
  AlreadyRunning, // unattended, while another installer ran: nothing done
};

// Exit status of the process for an outcome: 0 installed (or nothing asked),
// 1 refused, 2 payload failure, 3 another installer was running.
int InstallExitStatus(InstallOutcome outcome);

struct InstallState {
  std::string m_strInstallDir;   // narrow GBK path; see the folder rules
  int m_bDesktopIcon = 0;        // 1: make the desktop shortcut
  int m_bRunAfterInstall = 0;    // 1: start kvUpdate.exe when done instead of showing the outcome
  int m_bAdmin = 0;              // 1: unattended run
  InstallOutcome m_outcome = InstallOutcome::NotRun;
  PayloadResult m_payload;       // what unpacking achieved; m_outcome follows from it
};
