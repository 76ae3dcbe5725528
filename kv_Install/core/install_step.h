// The install step: every action of an installation, in its fixed order, run
// once by the install timer. Each action is a call into the
// module that owns it; the step itself only decides the order and keeps the
// outcome, so it is plain C++ and tested with recording actions.
#pragma once

#include <cstdint>
#include <string>

#include "archive/payload_result.h"
#include "core/install_state.h"
#include "core/uninstall_details.h"

// The installed programs' file names.
extern const char kUpdaterExe[];
extern const char kClientExe[];
extern const char kUninstallExe[];

// Special folders the shortcuts go to (the shell's CSIDL numbers).
constexpr int kCsidlPrograms = 2;
constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlProgramFiles = 38;

// Link choice of SaveShellLink.
constexpr int kRunLink = 0;
constexpr int kUninstallLink = 1;

class InstallActions {
 public:
  virtual ~InstallActions() = default;
  // Process ID of a running program with this exe name, 0 for none.
  virtual uint32_t FindProcessByExeName(const char* exeName) = 0;
  // "发现Kelvane正在运行，是否终止?" — true when the user pressed OK.
  virtual bool AskToEndRunningClient() = 0;
  // False where nobody sees the process's desktop: its window station is not
  // visible (a service's, in session 0). True where that cannot be told.
  virtual bool DesktopVisible() = 0;
  // One line (GBK) on standard error, for whoever started the run.
  virtual void SayOnStandardError(const char* text) = 0;
  // Ends the process and waits a bounded time for it to be gone.
  virtual void EndProcess(uint32_t processId) = 0;
  // Ends the installer with this exit status. The step returns right after
  // it; the real installer ends at once, or, when the step runs on a thread
  // of its own, once that thread has returned.
  virtual void EndInstaller(int exitStatus) = 0;
  virtual PayloadResult UnpackPayload(const std::string& installDir) = 0;
  // True when path names a file (not a folder) that is there.
  virtual bool InstalledFileExists(const std::string& path) = 0;
  virtual void WriteUninstallValue(const char* name, const char* data) = 0;
  // The same for a REG_DWORD value.
  virtual void WriteUninstallNumber(const char* name, uint32_t data) = 0;
  // Removes the value, when there, from the Uninstall key.
  virtual void DeleteUninstallValue(const char* name) = 0;
  // The first kVersionTextSize bytes of the version.data unpacking put in
  // installDir into the zeroed head; a missing or short file leaves zeros.
  virtual void ReadVersionData(const std::string& installDir, char (&head)[kVersionTextSize]) = 0;
  virtual CalendarDate LocalDate() = 0;
  virtual void SendInstallLog(const std::string& installDir) = 0;
  virtual void CreateShellLinks(const std::string& installDir) = 0;
  virtual void SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder) = 0;
  // Fills the zeroed 512-byte buffer with the "kcno" text, or leaves it empty.
  virtual void ReadUserNumberText(char* buffer) = 0;
  // Fills the 512-byte buffer with DownLoadSource/source of .\config.ini.
  virtual void ReadDownloadSource(char* buffer) = 0;
  virtual void SendLoggingSetup(int userNumber, const char* downloadSource) = 0;
};

// Whether the step may show the running-client question. The wizard's user
// is there to answer it. An unattended run asks only where its desktop can
// be seen: a box nobody sees waits for ever, and so would whatever started
// the run.
bool MayAskAboutRunningClient(bool unattended, bool desktopVisible);

// Runs the whole step and records its outcome in state.m_outcome. The
// Uninstall values and the shortcuts are written only where the files they
// name are there after unpacking: all Uninstall values and the uninstall
// shortcut need kv_Uninstall.exe, the run shortcuts kvUpdate.exe. Returns
// false when the running client was not to be ended (the user refused, or
// could not be asked): the step stopped before anything was written; true
// otherwise.
bool RunInstallStep(InstallState& state, InstallActions& actions);
