// The install step's actions as the installer performs them: each one calls
// the module that owns it.
#pragma once

#include <windows.h>

#include "core/install_step.h"
#include "report/identity.h"

class Win32InstallActions : public InstallActions {
 public:
  // owner: the window that owns the question box; identity: what both
  // reports send.
  Win32InstallActions(HWND owner, const ReportIdentity& identity) : owner_(owner), identity_(identity) {}

  uint32_t FindProcessByExeName(const char* exeName) override;
  bool AskToEndRunningClient() override;
  bool DesktopVisible() override;
  void SayOnStandardError(const char* text) override;
  void EndProcess(uint32_t processId) override;
  void EndInstaller(int exitStatus) override;
  PayloadResult UnpackPayload(const std::string& installDir) override;
  bool InstalledFileExists(const std::string& path) override;
  void WriteUninstallValue(const char* name, const char* data) override;
  void WriteUninstallNumber(const char* name, uint32_t data) override;
  void DeleteUninstallValue(const char* name) override;
  void ReadVersionData(const std::string& installDir, char (&head)[kVersionTextSize]) override;
  CalendarDate LocalDate() override;
  void SendInstallLog(const std::string& installDir) override;
  void CreateShellLinks(const std::string& installDir) override;
  void SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder) override;
  void ReadUserNumberText(char* buffer) override;
  void ReadDownloadSource(char* buffer) override;
  void SendLoggingSetup(int userNumber, const char* downloadSource) override;

  // The question about a file another program still holds after a round of
  // waits (GBK text): true for 重试, another round; false leaves the file.
  virtual bool AskToWaitForHeldFile(const std::string& question);

 private:
  HWND owner_;
  const ReportIdentity& identity_;
};
