// accnames.exe NAME: what a screen reader hears of the visible windows of the
// processes whose executable is NAME (default kvsetup.exe): each window's
// accessible object (MSAA, AccessibleObjectFromWindow with OBJID_CLIENT), one
// line each in GBK, depth first as wintext.exe lists them:
//   depth \t class \t control ID \t role \t focused (0/1) \t name \t value
// A window without an accessible object has role -1 and empty name and value.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <set>
#include <string>

#include "gbk_of.h"
#include "processes_named.h"

namespace {

std::string Text(BSTR text) {
  std::string out = text != nullptr ? GbkOf(text) : std::string();
  ::SysFreeString(text);
  return out;
}

void Print(HWND window, int depth) {
  wchar_t cls[128] = {};
  ::GetClassNameW(window, cls, 128);
  long role = -1;
  bool focused = false;
  std::string name, value;
  IAccessible* object = nullptr;
  if (SUCCEEDED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                             reinterpret_cast<void**>(&object)))) {
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT v;
    ::VariantInit(&v);
    if (object->get_accRole(self, &v) == S_OK && v.vt == VT_I4) role = v.lVal;
    ::VariantClear(&v);
    if (object->get_accState(self, &v) == S_OK && v.vt == VT_I4) focused = (v.lVal & STATE_SYSTEM_FOCUSED) != 0;
    ::VariantClear(&v);
    BSTR text = nullptr;
    if (object->get_accName(self, &text) == S_OK) name = Text(text);
    text = nullptr;
    if (object->get_accValue(self, &text) == S_OK) value = Text(text);
    object->Release();
  }
  std::printf("%d\t%s\t%d\t%ld\t%d\t%s\t%s\n", depth, GbkOf(cls).c_str(), ::GetDlgCtrlID(window), role, focused ? 1 : 0,
              name.c_str(), value.c_str());
}

void PrintTree(HWND window, int depth) {
  if (!::IsWindowVisible(window)) return;
  Print(window, depth);
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    PrintTree(child, depth + 1);
  }
}

BOOL CALLBACK OnTopLevel(HWND window, LPARAM param) {
  const std::set<DWORD>* ids = reinterpret_cast<const std::set<DWORD>*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (ids->count(pid) != 0) PrintTree(window, 0);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  (void)::CoInitialize(nullptr);
  const std::set<DWORD> ids = ProcessesNamed(argc > 1 ? argv[1] : "kvsetup.exe");
  ::EnumWindows(OnTopLevel, reinterpret_cast<LPARAM>(&ids));
  ::CoUninitialize();
  return ids.empty() ? 1 : 0;
}
