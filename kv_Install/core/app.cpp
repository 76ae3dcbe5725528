#include "core/app.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>

#include "core/command_line.h"
#include "ui/main_dlg.h"

namespace {

// COM must be up before anything makes shell links; it is released at exit.
struct ComForProcess {
  ComForProcess() {
    (void)::CoInitialize(nullptr);  // a failure shows later as missing shortcuts
    std::atexit([] { ::CoUninitialize(); });
  }
} comForProcess;

}  // namespace

Ckv_InstallApp theApp;

BOOL Ckv_InstallApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  (void)::InitCommonControlsEx(&controls);

  m_bDesktopIcon = 1;
  m_bRunAfterInstall = 0;
  m_bAdmin = IsUnattendedCommandLine(::GetCommandLineA()) ? 1 : 0;

  if (m_bAdmin) {
    // Hidden and modeless: the window installs by itself and destroys itself
    // when done. It lives until the process ends.
    Ckv_InstallDlg* dlg = new Ckv_InstallDlg();
    m_pMainWnd = dlg;
    return dlg->Create(nullptr) ? TRUE : FALSE;
  }

  Ckv_InstallDlg dlg;
  m_pMainWnd = &dlg;
  (void)dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

std::string Ckv_InstallApp::AppName() const {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  return ProgramTitle(n > 0 && n < sizeof path ? path : "kvsetup.exe");
}

int Ckv_InstallApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    HWND main = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr;
    if (main != nullptr && ::IsDialogMessageA(main, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return ExitStatus();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (theApp.InitInstance()) return theApp.Run();
  return theApp.ExitStatus();
}
