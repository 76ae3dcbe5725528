// wintext.exe NAME: lists the visible windows of the processes whose
// executable is NAME (default kvsetup.exe), one line each in GBK, for end-to-end
// tests that need what X cannot tell them (child controls are not X windows):
//   depth \t class \t control ID \t style (hex) \t x,y,w,h (top-level client coordinates) \t text
// A text's line breaks (a message box's) are written as 0x1F, so that each
// window stays one line.
// A top-level window has depth 0; its descendants follow it, depth first.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "gbk_of.h"
#include "processes_named.h"

namespace {


void Print(HWND window, HWND top, int depth) {
  wchar_t cls[128] = {};
  wchar_t text[1024] = {};
  ::GetClassNameW(window, cls, 128);
  // WM_GETTEXT, not GetWindowText: across processes the latter gives the
  // creation text of an edit box, not what it holds now. A busy installer
  // (the install step blocks its thread) gets a second to answer.
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                             &copied)) {
    ::GetWindowTextW(window, text, 1024);
  }
  std::wstring shown;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    if (*c != L'\r') shown += *c == L'\n' ? L'\x1f' : *c;
  }
  RECT rc;
  ::GetWindowRect(window, &rc);
  POINT origin = {0, 0};
  ::ClientToScreen(top, &origin);
  std::printf("%d\t%s\t%d\t%08lx\t%ld,%ld,%ld,%ld\t%s\n", depth, GbkOf(cls).c_str(), ::GetDlgCtrlID(window),
              static_cast<unsigned long>(::GetWindowLongW(window, GWL_STYLE)), rc.left - origin.x,
              rc.top - origin.y, rc.right - rc.left, rc.bottom - rc.top, GbkOf(shown.c_str()).c_str());
}

void PrintTree(HWND window, HWND top, int depth) {
  if (!::IsWindowVisible(window)) return;
  Print(window, top, depth);
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    PrintTree(child, top, depth + 1);
  }
}

BOOL CALLBACK OnTopLevel(HWND window, LPARAM param) {
  const std::set<DWORD>* ids = reinterpret_cast<const std::set<DWORD>*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (ids->count(pid) != 0) PrintTree(window, window, 0);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  const std::set<DWORD> ids = ProcessesNamed(argc > 1 ? argv[1] : "kvsetup.exe");
  ::EnumWindows(OnTopLevel, reinterpret_cast<LPARAM>(&ids));
  return ids.empty() ? 1 : 0;
}
