#include "core/install_job_win.h"

#include <winsock2.h>
#include <objbase.h>

#include "core/install_step.h"
#include "core/shell_links.h"

InstallOutcome RunInstallJob(InstallState& state, InstallActions& actions) {
  WSADATA data;
  const bool sockets = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;  // without it the reports fail on their own
  // The shortcuts are COM objects of this thread's apartment, and go before
  // it does. On a thread that has COM already this only counts up.
  const HRESULT com = ::CoInitialize(nullptr);
  (void)RunInstallStep(state, actions);
  ReleaseShellLinks();
  if (SUCCEEDED(com)) ::CoUninitialize();
  if (sockets) ::WSACleanup();
  return state.m_outcome;
}
