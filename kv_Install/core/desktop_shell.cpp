#include "core/desktop_shell.h"

#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "base/handles.h"

namespace {

using UniqueBstr = UniqueAny<BSTR, NullEmptyTraits<BSTR, ::SysFreeString>>;

template <typename Interface>
void** Out(UniqueCom<Interface>& slot) {
  return reinterpret_cast<void**>(slot.put());
}

VARIANT Variant(VARTYPE type) {
  VARIANT value;
  ::VariantInit(&value);
  value.vt = type;
  return value;
}

}  // namespace

bool MayRunElevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
  const UniqueHandle owned(token);
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  if (!::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return true;
  return elevation.TokenIsElevated != 0;
}

bool StartFromDesktopShell(const wchar_t* file, const wchar_t* folder, int show) {
  // The desktop's window among the shell's windows, its browser, the view of
  // the desktop folder, and that view's Shell.Application object, which lives
  // in the shell's process: what it starts, the shell starts.
  UniqueCom<IShellWindows> windows;
  UniqueCom<IDispatch> desktop;
  UniqueCom<IServiceProvider> services;
  UniqueCom<IShellBrowser> browser;
  UniqueCom<IShellView> view;
  UniqueCom<IDispatch> background;
  UniqueCom<IShellFolderViewDual> folderView;
  UniqueCom<IDispatch> application;
  UniqueCom<IShellDispatch2> shell;
  VARIANT location = Variant(VT_I4);
  location.lVal = CSIDL_DESKTOP;
  VARIANT none = Variant(VT_EMPTY);
  long window = 0;
  const bool reached =
      SUCCEEDED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, Out(windows))) &&
      windows->FindWindowSW(&location, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                            reinterpret_cast<IDispatch**>(desktop.put())) == S_OK &&
      desktop && SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, Out(services))) &&
      SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, Out(browser))) &&
      SUCCEEDED(browser->QueryActiveShellView(view.put())) && view &&
      SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, Out(background))) && background &&
      SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, Out(folderView))) &&
      SUCCEEDED(folderView->get_Application(application.put())) && application &&
      SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, Out(shell)));
  if (!reached) return false;

  const UniqueBstr fileText(::SysAllocString(file));
  const UniqueBstr folderText(::SysAllocString(folder));
  const UniqueBstr verbText(::SysAllocString(L"open"));
  if (!fileText || !folderText || !verbText) return false;
  VARIANT directory = Variant(VT_BSTR);
  directory.bstrVal = folderText.get();
  VARIANT verb = Variant(VT_BSTR);
  verb.bstrVal = verbText.get();
  VARIANT showCommand = Variant(VT_I4);
  showCommand.lVal = show;
  return SUCCEEDED(shell->ShellExecute(fileText.get(), none, directory, verb, showCommand));
}
