#include "core/install_actions_win.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/payload.h"
#include "archive/upgrade_win.h"
#include "base/gbk_text.h"
#include "base/wide.h"
#include "core/error_lines.h"
#include "core/file_holders.h"
#include "core/process.h"
#include "core/registration.h"
#include "core/setup_log.h"
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

void Win32InstallActions::EndProcess(uint32_t processId) {
  // The install goes on whatever happened: a file the process still holds
  // shows as held when it is written. The log says which.
  DWORD error = 0;
  const ProcessEnding ending = EndProcessAndWait(processId, &error);
  static const char* const kWhy[] = {"", "it could not be opened", "ending it failed", "it was still there after 5 s"};
  const unsigned long id = processId;
  char line[120];
  if (ending == ProcessEnding::Ended) {
    (void)std::snprintf(line, sizeof line, "process %lu ended", id);
  } else {
    (void)std::snprintf(line, sizeof line, "process %lu not ended: %s, system error %lu", id,
                        kWhy[static_cast<int>(ending)], error);
  }
  LogLine(line);
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


void Win32InstallActions::EndInstaller(int exitStatus) {
  if (exitStatus == InstallExitStatus(InstallOutcome::Refused)) {
    WriteErrorLine("the running program was not ended; nothing was installed");
  }
  // Through the runtime's exit processing, so the registered handlers run.
  EndSetupLog(exitStatus);
  std::exit(exitStatus);
}

namespace {

// A path as the user knows it: entry names join with '/', which no GBK
// character holds as a trail byte.
std::string DisplayPath(const char* path) {
  std::string text = path;
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

// The setup log's line for an entry: what it became, its bytes, why not,
// and how long another program held it.
void LogEntry(const UnpackedEntry& entry) {
  char line[512];
  int n = std::snprintf(line, sizeof line, "entry %ld %.300s: ", static_cast<long>(entry.index), entry.name);
  if (entry.result != ZRES_OK) {
    n += std::snprintf(line + n, sizeof line - n, "not written, %s, system error %lu", ZipResultName(entry.result),
                       entry.systemError);
  } else if (entry.kept) {
    n += std::snprintf(line + n, sizeof line - n, "unchanged, %llu bytes, kept", static_cast<unsigned long long>(entry.bytes));
  } else if (entry.folder) {
    n += std::snprintf(line + n, sizeof line - n, "folder");
  } else {
    n += std::snprintf(line + n, sizeof line - n, "written, %llu bytes", static_cast<unsigned long long>(entry.bytes));
  }
  if (entry.heldMs != 0) {
    (void)std::snprintf(line + n, sizeof line - n, ", held by another program for %lu.%lu s",
                        static_cast<unsigned long>(entry.heldMs / 1000),
                        static_cast<unsigned long>(entry.heldMs % 1000 / 100));
  }
  LogLine(line);
}

// Windows' redirection guard refused a junction (ERROR_UNTRUSTED_MOUNT_POINT).
constexpr unsigned long kUntrustedMountPoint = 448;

// Says each entry not written, and asks about a file another program holds.
class InstallUnpackObserver final : public UnpackObserver {
 public:
  explicit InstallUnpackObserver(Win32InstallActions& actions) : actions_(actions) {}

  void EntryDone(const UnpackedEntry& entry) override {
    LogEntry(entry);
    if (entry.result == ZRES_FILE_HELD) {
      WriteHeldEntryError(entry.index, entry.name, entry.systemError, entry.heldMs,
                          FileHolders(DisplayPath(entry.target).c_str()).c_str());
    } else if (entry.result != ZRES_OK && entry.systemError != kUntrustedMountPoint) {
      // The redirection guard's refusal is said once, for its folder.
      WriteEntryError(entry.index, entry.name, entry.result, entry.systemError);
    }
  }

  bool WaitAgain(const char* path, uint32_t) override {
    const std::string file = DisplayPath(path);
    const std::string holders = FileHolders(file.c_str());
    std::string question = "文件正被其他程序占用，无法替换：\n\n" + file + "\n\n";
    question += holders.empty() ? std::string("可能是杀毒软件或其他正在运行的程序。")
                                : "占用它的程序：" + holders + "。";
    question += "\n\n请关闭占用它的程序后点击“重试”。点击“取消”将放弃安装，已安装的版本保持原样。";
    const bool again = actions_.AskToWaitForHeldFile(question);
    LogLine(file + (again ? ": still held, waiting again" : ": still held, the install is given up"));
    return again;
  }

 private:
  Win32InstallActions& actions_;
};

}  // namespace

PayloadResult Win32InstallActions::UnpackPayload(const std::string& installDir) {
  InstallUnpackObserver observer(*this);
  const PayloadResult result = ::UpgradePayload(installDir.c_str(), &observer);
  if (!result.opened) WriteErrorLine("the payload in this program cannot be read");
  if (!result.failure.empty()) WriteErrorLine(result.failure.c_str());
  if (result.opened && result.failedCount != 0 && result.unchanged) {
    WriteErrorLine("nothing in the install folder was changed: the version installed there stays whole");
  }
  if (result.opened && result.failedCount == 0) {
    LogLine("switched: " + std::to_string(result.keptCount) + " files kept, " + std::to_string(result.removedCount) +
            " dropped files removed");
  }
  if (!result.untrustedJunction.empty()) {
    const std::string line = "folder \"" + result.untrustedJunction +
                             "\" is a junction that a non-administrator made, which Windows does not follow for a "
                             "program run as administrator (system error 448): no file was written; choose another "
                             "folder, or have an administrator make the junction";
    WriteErrorLine(line.c_str());
  }
  for (const char* at = result.linkedFolders.c_str(); *at != '\0';) {
    const char* end = std::strchr(at, '\n');
    char line[400];
    (void)std::snprintf(line, sizeof line,
                        "folder \"%.*s\" in the install folder is a link (junction or symbolic link): not "
                        "followed, nothing written below it",
                        static_cast<int>(end - at), at);
    WriteErrorLine(line);
    at = end + 1;
  }
  return result;
}

bool Win32InstallActions::AskToWaitForHeldFile(const std::string& question) {
  // Owned by the main window, whichever page asks; 重试 is the default.
  HWND owner = owner_ != nullptr ? ::GetAncestor(owner_, GA_ROOT) : nullptr;
  return ::MessageBoxW(owner, WStr(Wide(question)), WStr(Wide("提示")), MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

bool Win32InstallActions::InstalledFileExists(const std::string& path) {
  std::u16string widePath;
  if (!GbkToUtf16(path, &widePath)) return false;
  const DWORD attributes = ::GetFileAttributesW(WStr(widePath));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {

void LogValue(const char* name, const std::string& data, bool written) {
  LogLine(std::string("Uninstall value ") + name + " = " + data + (written ? "" : ": not written"));
}

}  // namespace

// A missing value does not stop the install: the log says so.
void Win32InstallActions::WriteUninstallValue(const char* name, const char* data) {
  LogValue(name, data, ::WriteUninstallValue(name, data) != 0);
}

void Win32InstallActions::WriteUninstallNumber(const char* name, uint32_t data) {
  LogValue(name, std::to_string(data), ::WriteUninstallNumber(name, data) != 0);
}

void Win32InstallActions::DeleteUninstallValue(const char* name) {
  // Absent already counts as removed; one that stays does not stop the
  // install, and the log says so.
  const bool removed = ::DeleteUninstallValue(name) != 0;
  LogLine(std::string("Uninstall value ") + name + (removed ? " removed" : " not removed"));
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
  LogLine("install log (TCP): " + ::SendInstallLog(identity_, installDir.c_str()));
}

void Win32InstallActions::CreateShellLinks(const std::string& installDir) {
  ::CreateShellLinks(installDir.c_str());
}

void Win32InstallActions::SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder) {
  // A missing shortcut does not stop the install: the log says so.
  const bool saved = ::SaveShellLink(csidl, fileName, which, inSubfolder) != 0;
  LogLine(std::string("shortcut ") + (csidl == kCsidlDesktopDirectory ? "Desktop\\" : "Programs\\") +
          (inSubfolder ? "Kelvane\\" : "") + fileName + (saved ? ": saved" : ": not saved"));
}

void Win32InstallActions::ReadUserNumberText(char* buffer) {
  (void)::ReadUserNumberText(buffer);  // an unreadable value leaves the buffer empty: user number 0
}

void Win32InstallActions::ReadDownloadSource(char* buffer) { ::ReadDownloadSource(buffer); }

void Win32InstallActions::SendLoggingSetup(int userNumber, const char* downloadSource) {
  LogLine("setup report (HTTP): " + identity_.SendLoggingSetup(userNumber, downloadSource));
}
