#include "core/install_step.h"

#include "report/user_number.h"

const char kUpdaterExe[] = "kvUpdate.exe";
const char kClientExe[] = "kvClient.exe";
const char kUninstallExe[] = "kv_Uninstall.exe";

namespace {

// What Apps & features shows besides the name: version, folder, date and
// size, and no Modify or Repair buttons, which kv_Uninstall.exe does not
// offer. A version the payload does not carry goes: Apps & features would
// show an earlier install's. Any other value that cannot be formed is not
// written; whatever an earlier install wrote under its name stays.
void WriteUninstallDetails(const InstallState& state, InstallActions& actions) {
  char head[kVersionTextSize] = {};
  actions.ReadVersionData(state.m_strInstallDir, head);
  char version[kVersionTextSize + 1];
  if (VersionFromVersionData(head, sizeof head, version)) {
    actions.WriteUninstallValue("DisplayVersion", version);
  } else {
    actions.DeleteUninstallValue("DisplayVersion");
  }
  actions.WriteUninstallValue("InstallLocation", InstallLocationText(state.m_strInstallDir).c_str());
  char date[9];
  if (InstallDateText(actions.LocalDate(), date)) actions.WriteUninstallValue("InstallDate", date);
  actions.WriteUninstallNumber("EstimatedSize", SizeInKib(state.m_payload.writtenBytes));
  actions.WriteUninstallNumber("NoModify", 1);
  actions.WriteUninstallNumber("NoRepair", 1);
}

}  // namespace

bool MayAskAboutRunningClient(bool unattended, bool desktopVisible) { return !unattended || desktopVisible; }

bool RunInstallStep(InstallState& state, InstallActions& actions) {
  // A running updater or client holds its files open; ask before ending them.
  const uint32_t updaterId = actions.FindProcessByExeName(kUpdaterExe);
  const uint32_t clientId = actions.FindProcessByExeName(kClientExe);
  if (updaterId != 0 || clientId != 0) {
    const bool mayAsk = MayAskAboutRunningClient(state.m_bAdmin != 0, actions.DesktopVisible());
    if (!mayAsk) {
      actions.SayOnStandardError("could not ask whether to end the running program: nobody sees this desktop "
                                 "(its window station is not visible)");
    }
    if (!mayAsk || !actions.AskToEndRunningClient()) {
      state.m_outcome = InstallOutcome::Refused;
      actions.EndInstaller(InstallExitStatus(state.m_outcome));
      return false;
    }
    if (updaterId != 0) actions.EndProcess(updaterId);
    if (clientId != 0) actions.EndProcess(clientId);
  }

  const PayloadResult payload = actions.UnpackPayload(state.m_strInstallDir);
  state.m_payload = payload;
  state.m_outcome = payload.Complete()   ? InstallOutcome::Installed
                    : payload.OnlyHeld() ? InstallOutcome::FilesHeld
                                         : InstallOutcome::PayloadFailed;

  // Whatever the unpacking achieved, nothing registered may name a file that
  // is not there: an entry in Apps & features whose uninstaller cannot start,
  // or a shortcut to nothing.
  // An install that changed nothing leaves the registration and the
  // shortcuts as they were: they describe the version still in the folder.
  const std::string uninstaller = state.m_strInstallDir + "\\" + kUninstallExe;
  const bool changed = !payload.unchanged;
  const bool hasUninstaller = changed && actions.InstalledFileExists(uninstaller);
  const bool hasUpdater = changed && actions.InstalledFileExists(state.m_strInstallDir + "\\" + kUpdaterExe);
  if (hasUninstaller) {
    actions.WriteUninstallValue("DisplayName", "Kelvane");
    actions.WriteUninstallValue("Publisher", "Brevanta");
    actions.WriteUninstallValue("UninstallString", uninstaller.c_str());
    actions.WriteUninstallValue("DisplayIcon", uninstaller.c_str());
    WriteUninstallDetails(state, actions);
  }

  actions.SendInstallLog(state.m_strInstallDir);

  if (changed) actions.CreateShellLinks(state.m_strInstallDir);
  if (hasUpdater) actions.SaveShellLink(kCsidlPrograms, "Kelvane.lnk", kRunLink, 1);
  if (hasUninstaller) actions.SaveShellLink(kCsidlPrograms, "卸载.lnk", kUninstallLink, 1);

  char userNumberText[512] = {};
  actions.ReadUserNumberText(userNumberText);
  userNumberText[sizeof userNumberText - 1] = '\0';
  const int userNumber = UserNumberFromText(userNumberText);

  if (state.m_bDesktopIcon && hasUpdater) actions.SaveShellLink(kCsidlDesktopDirectory, "Kelvane.lnk", kRunLink, 0);
  // Only the setup report is left: it is best effort and decides nothing.
  state.MarkInPlace();

  char downloadSource[512] = {};
  actions.ReadDownloadSource(downloadSource);
  downloadSource[sizeof downloadSource - 1] = '\0';
  actions.SendLoggingSetup(userNumber, downloadSource);
  return true;
}
