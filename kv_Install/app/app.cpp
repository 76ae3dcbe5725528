#include "app/app.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/upgrade_win.h"
#include "base/wide.h"
#include "core/command_line.h"
#include "core/dll_search.h"
#include "core/error_lines.h"
#include "core/registration.h"
#include "core/setup_log.h"
#include "skin/theme.h"
#include "ui/main_dlg.h"

#ifdef KV_TEST_PAUSE_AFTER_HOLD
#include "archive/link_guard_win.h"
#endif

// The process-wide objects live in this one file because C++ builds the
// objects of one file in the order they are written, and leaves the order
// across files open. The theme comes first (its fonts are made before any
// window), then COM, then the application object; they go at exit in
// reverse.
CTheme theTheme;

namespace {

#ifdef KV_TEST_HIGH_CONTRAST
// A test build that finds a high-contrast theme on: Wine has none to turn on.
const bool kHighContrastTestBuild = (theHighContrastQuery = [] { return true; }, true);
#endif

#ifdef KV_TEST_SLOW_SWITCH
// A test build whose switch pauses before each rename: long enough to be
// ended part-way.
const bool kSlowSwitchTestBuild = (theSwitchRenameHook = [] { ::Sleep(150); }, true);
#endif

#ifdef KV_TEST_PAUSE_AFTER_HOLD
// A test build that stops once the folder "datafile" is held and checked,
// so that a test can turn it into a link behind the installer's back: it
// makes the file %KV_TEST_PAUSE%\held, then goes on when the test has
// removed it (a minute at most).
void PauseAfterHold(const char* name, size_t length) {
  static bool paused = false;
  if (paused || length != 8 || std::strncmp(name, "datafile", 8) != 0) return;
  paused = true;
  wchar_t flag[MAX_PATH];
  const DWORD n = ::GetEnvironmentVariableW(L"KV_TEST_PAUSE", flag, MAX_PATH - 8);
  if (n == 0 || n >= MAX_PATH - 8) return;
  std::memcpy(flag + n, L"\\held", sizeof L"\\held");
  const HANDLE made = ::CreateFileW(flag, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (made == INVALID_HANDLE_VALUE) return;
  ::CloseHandle(made);
  for (int i = 0; i < 600 && ::GetFileAttributesW(flag) != INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(100);
}
const bool kPauseTestBuild = (theFolderHeldHook = PauseAfterHold, true);
#endif

// COM must be up before anything makes shell links; it is released at exit.
struct ComForProcess {
  ComForProcess() {
    (void)::CoInitialize(nullptr);  // a failure shows later as missing shortcuts
    std::atexit([] { ::CoUninitialize(); });
  }
} comForProcess;

// One install at a time: two installers would unpack into one folder at once.
// Other installers, of any version, look for this name: it stays as it is.
constexpr char kInstallersMutex[] = "Global\\Kelvane.kvsetup";

// Says why no window could be made, with the system's error code, and
// keeps the run from reading as a success.
void NoWindow(InstallState& state, const char* what) {
  char line[120];
  (void)std::snprintf(line, sizeof line, "%s could not be made (system error %lu); nothing was installed", what,
                      ::GetLastError());
  WriteErrorLine(line);
  state.m_outcome = InstallOutcome::NotStarted;
}

// The program's own version, from its version resource: "1.4.3.0", or "(no
// version)" for a build without one.
std::string ProgramVersion() {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
  const DWORD size = resource != nullptr ? ::SizeofResource(nullptr, resource) : 0;
  HGLOBAL loaded = resource != nullptr ? ::LoadResource(nullptr, resource) : nullptr;
  const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
  // VS_FIXEDFILEINFO starts with its signature, 32-bit aligned in the block.
  for (DWORD at = 0; data != nullptr && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data + at, sizeof info);
    if (info.dwSignature != 0xFEEF04BD) continue;
    char text[48];
    (void)std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", info.dwProductVersionMS >> 16,
                        info.dwProductVersionMS & 0xFFFF, info.dwProductVersionLS >> 16,
                        info.dwProductVersionLS & 0xFFFF);
    return text;
  }
  return "(no version)";
}

// /? : the options and the exit statuses, on standard error in English and,
// for a person, in a box in the wizard's words.
void ShowHelp(const InstallState& state, const std::string& appName) {
  const char* text = HelpTextEnglish();
  for (const char* end; (end = std::strchr(text, '\n')) != nullptr; text = end + 1) {
    WriteStandardError(std::string(text, end).c_str());
  }
  WriteStandardError(text);
  if (!state.m_bAdmin) {
    ::MessageBoxW(nullptr, WStr(Wide(HelpText())), WStr(Wide(appName)), MB_OK | MB_ICONINFORMATION);
  }
}

// Opens the /LOG file and writes its first lines; false when it cannot be
// made, said where the run says things (nothing is installed then).
bool StartSetupLog(const InstallState& state, const std::string& appName) {
  if (!state.m_options.logGiven) return true;
  const std::string log = NarrowOrPlaceholder(state.m_options.log);
  if (state.m_options.log.empty() || !OpenSetupLog(state.m_options.log)) {
    char why[80];
    (void)std::snprintf(why, sizeof why, "system error %lu", state.m_options.log.empty() ? 0ul : ::GetLastError());
    if (state.m_bAdmin) {
      WriteErrorLine(("the log file \"" + log + "\" given by /LOG cannot be written (" + why + "); nothing was installed").c_str());
    } else {
      ::MessageBoxW(nullptr, WStr(Wide("无法写入日志文件：" + log + "（" + why + "）")), WStr(Wide(appName)),
                    MB_OK | MB_ICONWARNING);
    }
    return false;
  }
  LogLine("kvsetup " + ProgramVersion() + " started: " + NarrowOrPlaceholder(AsU16(::GetCommandLineW())));
  LogLine(state.m_bAdmin ? "unattended run" : "wizard");
  return true;
}

// A switch that a kill or a power cut interrupted is mended before anything
// else looks at the folder the last install registered. The folder the run
// installs into is looked at again when its install begins.
void MendRegisteredFolder() {
  std::string folder;
  if (!ReadUninstallText("InstallLocation", &folder) || folder.empty()) return;
  std::string said;
  const FolderRecovery recovery = RecoverInstallFolder(folder.c_str(), &said);
  if (recovery == FolderRecovery::Nothing) return;
  LogLine(folder + ": " + said);
  if (recovery == FolderRecovery::Failed) WriteErrorLine((folder + ": " + said).c_str());
}

// The program's file as the system names it; empty when it cannot be told.
std::u16string ModulePath() {
  wchar_t path[1024] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, path, 1024);
  return n > 0 && n < 1024 ? std::u16string(AsU16(path)) : std::u16string();
}

BOOL CALLBACK FindInstallerWindow(HWND window, LPARAM found) {
  if (!::IsWindowVisible(window) || ::GetPropA(window, kInstallerWindowProperty) == nullptr) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

Ckv_InstallApp theApp;

bool Ckv_InstallApp::AnotherInstallerRuns() {
  m_instanceMutex.reset(::CreateMutexA(nullptr, FALSE, kInstallersMutex));
  const DWORD error = ::GetLastError();
  // Access denied: it exists, made by an installer of another user.
  return m_instanceMutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

BOOL Ckv_InstallApp::InitInstance() {
  // Taken as UTF-16: a folder given by /DIR reaches the folder rules as typed.
  m_options = ParseCommandLine(AsU16(::GetCommandLineW()), ModulePath());
  m_bAdmin = m_options.unattended ? 1 : 0;
  m_bDesktopIcon = m_options.noDesktop ? 0 : 1;
  if (m_options.help) {
    ShowHelp(*this, AppName());
    m_outcome = InstallOutcome::HelpShown;
    return FALSE;
  }
  if (!StartSetupLog(*this, AppName())) {
    m_outcome = InstallOutcome::NotStarted;
    return FALSE;
  }
#ifdef KV_TEST_FAILED_ALLOCATION
  // A test build: an allocation that no heap gives, by the plain new.
  volatile std::size_t tooMuch = static_cast<std::size_t>(-1) / 2;
  void* volatile kept = ::operator new(tooMuch);
  ::operator delete(kept);
#endif
  // Other installers' switches are passed over, so that scripts written for
  // them keep working; each is said.
  for (const std::u16string& word : m_options.unknown) {
    WriteErrorLine(("unknown option " + NarrowOrPlaceholder(word) + ", passed over").c_str());
  }

  // Without the DLLs the windows draw with there is no wizard to show, and
  // no window to carry an unattended install: the run ends with 2 at once.
  DWORD dllError = 0;
  if (const char* dll = MissingWindowDll(&dllError)) {
    char line[160];
    (void)std::snprintf(line, sizeof line,
                        "%s cannot be loaded (system error %lu): no window can be made; nothing was installed", dll,
                        dllError);
    WriteErrorLine(line);
    m_outcome = InstallOutcome::NotStarted;
    return FALSE;
  }

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  (void)::InitCommonControlsEx(&controls);

  m_bRunAfterInstall = 0;

  if (AnotherInstallerRuns()) {
    // Unattended: a status of its own, at once. Interactive: the running
    // installer's window comes to the front instead, and this one ends as
    // if cancelled.
    if (m_bAdmin) {
      m_outcome = InstallOutcome::AlreadyRunning;
      WriteErrorLine("another installer is running; nothing was done");
      return FALSE;
    }
    HWND running = nullptr;
    ::EnumWindows(FindInstallerWindow, reinterpret_cast<LPARAM>(&running));
    if (running != nullptr) {
      if (::IsIconic(running)) ::ShowWindow(running, SW_RESTORE);
      ::SetForegroundWindow(running);
    }
    return FALSE;
  }

  MendRegisteredFolder();

  if (m_bAdmin) {
    // Hidden and modeless: the window installs by itself and destroys itself
    // when done. It lives until the process ends.
    Ckv_InstallDlg* dlg = new Ckv_InstallDlg(*this, AppName());
    m_pMainWnd = dlg;
    if (MakeInstallWindow(*dlg)) return TRUE;
    NoWindow(*this, "the install window");
    m_pMainWnd = nullptr;
    delete dlg;
    return FALSE;
  }

  Ckv_InstallDlg dlg(*this, AppName());
  m_pMainWnd = &dlg;
  if (ShowWizard(dlg) == -1) NoWindow(*this, "the wizard");
  m_pMainWnd = nullptr;
  return FALSE;
}

#ifndef KV_TEST_NO_INSTALL_WINDOW
bool Ckv_InstallApp::MakeInstallWindow(Ckv_InstallDlg& dlg) { return dlg.Create(nullptr); }
INT_PTR Ckv_InstallApp::ShowWizard(Ckv_InstallDlg& dlg) { return dlg.DoModal(); }
#else
// A test build: a desktop that gives no window, to either run.
bool Ckv_InstallApp::MakeInstallWindow(Ckv_InstallDlg&) {
  ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return false;
}
INT_PTR Ckv_InstallApp::ShowWizard(Ckv_InstallDlg&) {
  ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return -1;
}
#endif

std::string Ckv_InstallApp::AppName() const {
  // Only shown, as the message boxes' caption: '?' may stand for a character.
  const std::u16string path = ModulePath();
  return ProgramTitle(!path.empty() ? NarrowOrPlaceholder(path) : std::string("kvsetup.exe"));
}

int Ckv_InstallApp::Run() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    HWND main = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr;
    if (main != nullptr && ::IsDialogMessageW(main, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  // The window waits for the step when it goes; a loop ended otherwise waits
  // here, so the status is read after the step's last write.
  if (m_pMainWnd != nullptr) static_cast<Ckv_InstallDlg*>(m_pMainWnd)->WaitForInstallStep();
  if (m_bAdmin && m_outcome == InstallOutcome::NotRun) WriteErrorLine("the program ended before its install began");
  return ExitStatus();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int status = theApp.InitInstance() ? theApp.Run() : theApp.ExitStatus();
  EndSetupLog(status);
  return status;
}
