#include "core/install_actions_win.h"

#include <cstdio>
#include <cstdlib>

#include "archive/payload.h"
#include "base/gbk_text.h"
#include "base/wide.h"
#include "core/error_lines.h"
#include "core/process.h"
#include "core/registration.h"
#include "core/shell_links.h"
#include "report/install_log.h"
#include "report/settings.h"

uint32_t Win32InstallActions::FindProcessByExeName(const char* exeName) {
  const uint32_t id = ::FindProcessByExeName(exeName);
  if (id != 0) {
    char line[120];
    (void)std::snprintf(line, sizeof line, "%.40s runs (process %lu): it is asked to end",
                        exeName, static_cast<unsigned long>(id));
    WriteErrorLine(line);
  }
  return id;
}

bool Win32InstallActions::AskToEndRunningClient() {
  // Through the wide call, so that the text reads the same on every system.
  return ::MessageBoxW(owner_, WStr(Wide("发现Kelvane正在运行，是否终止?")), WStr(Wide("提示")), MB_OKCANCEL) == IDOK;
}

bool Win32InstallActions::DesktopVisible() {
  // The window station's flag says whether its desktops are shown anywhere:
  // set on a user's, clear on a service's (session 0). A station whose flags
  // cannot be read keeps the question, as ever.
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  HWINSTA station = ::GetProcessWindowStation();
  if (station == nullptr || !::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void Win32InstallActions::SayOnStandardError(const char* text) { WriteErrorLine(text); }

void Win32InstallActions::EndProcess(uint32_t processId) { EndProcessAndWait(processId); }

void Win32InstallActions::EndInstaller(int exitStatus) {
  if (exitStatus == InstallExitStatus(InstallOutcome::Refused)) {
    WriteErrorLine("the running program was not ended; nothing was installed");
  }
  // Through the runtime's exit processing, so the registered handlers run.
  std::exit(exitStatus);
}

PayloadResult Win32InstallActions::UnpackPayload(const std::string& installDir) {
  const PayloadResult result = ::UnpackPayload(
      installDir.c_str(),
      [](int32_t index, const char* name, uint32_t code, void*) { WriteEntryError(index, name, code, ::GetLastError()); },
      nullptr);
  if (!result.opened) WriteErrorLine("the payload in this program cannot be read");
  return result;
}

bool Win32InstallActions::InstalledFileExists(const std::string& path) {
  std::u16string widePath;
  if (!GbkToUtf16(path, &widePath)) return false;
  const DWORD attributes = ::GetFileAttributesW(WStr(widePath));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void Win32InstallActions::WriteUninstallValue(const char* name, const char* data) {
  (void)::WriteUninstallValue(name, data);  // a missing value does not stop the install
}

void Win32InstallActions::WriteUninstallNumber(const char* name, uint32_t data) {
  (void)::WriteUninstallNumber(name, data);  // as for the text values
}

void Win32InstallActions::DeleteUninstallValue(const char* name) {
  (void)::DeleteUninstallValue(name);  // as for the values written
}

void Win32InstallActions::ReadVersionData(const std::string& installDir, char (&head)[kVersionTextSize]) {
  static_assert(kVersionTextSize == kLogFieldSize, "the install log sends the same version bytes");
  ::ReadInstalledVersion(installDir.c_str(), reinterpret_cast<uint8_t(&)[kLogFieldSize]>(head));
}

CalendarDate Win32InstallActions::LocalDate() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return CalendarDate{now.wYear, now.wMonth, now.wDay};
}

void Win32InstallActions::SendInstallLog(const std::string& installDir) {
  ::SendInstallLog(identity_, installDir.c_str());
}

void Win32InstallActions::CreateShellLinks(const std::string& installDir) {
  ::CreateShellLinks(installDir.c_str());
}

void Win32InstallActions::SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder) {
  (void)::SaveShellLink(csidl, fileName, which, inSubfolder);  // a missing shortcut does not stop the install
}

void Win32InstallActions::ReadUserNumberText(char* buffer) {
  (void)::ReadUserNumberText(buffer);  // an unreadable value leaves the buffer empty: user number 0
}

void Win32InstallActions::ReadDownloadSource(char* buffer) { ::ReadDownloadSource(buffer); }

void Win32InstallActions::SendLoggingSetup(int userNumber, const char* downloadSource) {
  identity_.SendLoggingSetup(userNumber, downloadSource);
}
