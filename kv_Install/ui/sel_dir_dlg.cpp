#include "ui/sel_dir_dlg.h"

#include <shlobj.h>

#include <string>

#include "archive/payload.h"
#include "base/gbk_text.h"
#include "base/wide.h"
#include "core/folder_rules.h"
#include "core/install_step.h"
#include "core/shell_folders.h"
#include "res/resource.h"
#include "ui/messages.h"

namespace {

constexpr COLORREF kBlue = RGB(65, 125, 253);
constexpr COLORREF kGrey = RGB(119, 119, 119);

void MoveControl(HWND control, int x, int y, int w, int h) {
  if (control != nullptr) ::MoveWindow(control, x, y, w, h, TRUE);
}

}  // namespace

CSelDirDlg::CSelDirDlg(InstallState& state, const std::string& appName)
    : CPageDlg(IDD_SELDIR, IDB_TOP, RGB(255, 255, 255)), m_state(state), m_strAppName(appName) {}

BOOL CSelDirDlg::OnInitDialog() {
  (void)CPageDlg::OnInitDialog();
  (void)m_editDir.SubclassDlgItem(IDC_EDIT_DIR, m_hWnd);  // unbound, it stays a plain edit box
  SetDlgItemText(IDC_EDIT_DIR, DefaultInstallFolder(SpecialFolderPath(kCsidlProgramFiles)).c_str());
  // Browse keeps square corners; its size comes from the layout.
  m_pBtnBrowse = MakeTextButton("浏览...", IDC_BTN_BROWSE, RECT{0, 0, 0, 0}, kBlue);
  m_pBtnInstall = MakeTextButton("立即安装", IDOK, RECT{0, 0, 100, 35}, kBlue);
  ShapeTextButton(*m_pBtnInstall, 15, 15, 0);
  m_pBtnCancel = MakeTextButton("取消", IDCANCEL, RECT{0, 0, 100, 35}, kGrey);
  ShapeTextButton(*m_pBtnCancel, 15, 15, 0);
  ::CheckDlgButton(m_hWnd, IDC_CHECK_RUN, BST_CHECKED);
  ::CheckDlgButton(m_hWnd, IDC_CHECK_DESKTOP, BST_CHECKED);
  m_editDir.m_crBack = RGB(255, 255, 255);
  m_editDir.m_crTextColor = RGB(0, 0, 0);
  m_editDir.m_crPlaceholder = RGB(0, 0, 0);
  return TRUE;
}

void CSelDirDlg::Layout(int cx, int) {
  int y = m_nTopImageHeight + 5;
  if (HWND label = GetDlgItem(IDC_STATIC_DIR)) {
    MoveControl(label, 30, y, 100, 20);
    y += 20;
  }
  if (m_editDir.GetSafeHwnd() != nullptr) {
    // The box centres its text from this layout when the move asks for its
    // non-client size again.
    m_editDir.m_rcLayout = RECT{0, 0, cx - 148, 35};
    m_editDir.MoveWindow(30, y, cx - 148, 35);
  } else if (HWND edit = GetDlgItem(IDC_EDIT_DIR)) {
    MoveControl(edit, 30, y, cx - 148, 35);
  }
  m_pBtnBrowse->MoveWindow(cx - 118, y, 88, 35);
  y += 40;
  HWND desktop = GetDlgItem(IDC_CHECK_DESKTOP);
  HWND run = GetDlgItem(IDC_CHECK_RUN);
  MoveControl(desktop, 30, y, 120, 20);
  MoveControl(run, 170, y, 120, 20);
  if (desktop != nullptr || run != nullptr) y += 30;
  m_pBtnCancel->MoveWindow(cx - 130, y - 15, 100, 35);
  m_pBtnInstall->MoveWindow(cx - 240, y - 15, 100, 35);
}

void CSelDirDlg::RefuseFolder(FolderProblem problem) {
  ::MessageBoxW(::GetParent(m_hWnd), WStr(Wide(FolderProblemText(problem))), WStr(Wide(m_strAppName)),
                MB_OK | MB_ICONWARNING);
  ::SetFocus(GetDlgItem(IDC_EDIT_DIR));
}

void CSelDirDlg::OnBrowse() {
  wchar_t displayName[MAX_PATH] = {};
  const std::u16string title = Wide("请选择目录");
  BROWSEINFOW info = {};
  info.hwndOwner = m_hWnd;
  info.pszDisplayName = displayName;
  info.lpszTitle = WStr(title);
  info.ulFlags = BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&info);
  if (item == nullptr) return;
  wchar_t path[MAX_PATH] = {};
  const BOOL isFolder = ::SHGetPathFromIDListW(item, path);
  ::CoTaskMemFree(item);
  // A virtual folder (no file-system path) changes nothing: there is no
  // folder to install below.
  if (!isFolder || path[0] == L'\0') return;
  // A folder GBK cannot name is refused at once; the box keeps its text.
  std::string chosen;
  if (!Utf16ToGbk(AsU16(path), &chosen)) {
    RefuseFolder(FolderProblem::NotGbk);
    return;
  }
  SetDlgItemText(IDC_EDIT_DIR, FolderFromBrowser(chosen).c_str());
}

void CSelDirDlg::OnInstall() {
  // The whole text, however long: a folder cut at a fixed buffer size would
  // install somewhere the user never typed. A path too long to install into
  // then fails visibly instead.
  // Refused here, before anything is written: an empty or relative folder
  // would resolve against the current folder, a long one would fail entry by
  // entry, and one GBK cannot name could not be installed into at all.
  std::string folder;
  const FolderProblem problem =
      CheckFolderBoxText(WindowTextW(GetDlgItem(IDC_EDIT_DIR)), LongestPayloadEntryPath(), &folder);
  if (problem != FolderProblem::None) {
    RefuseFolder(problem);
    return;
  }
  m_state.m_strInstallDir = folder;
  m_state.m_bDesktopIcon = ::IsDlgButtonChecked(m_hWnd, IDC_CHECK_DESKTOP) == BST_CHECKED ? 1 : 0;
  m_state.m_bRunAfterInstall = ::IsDlgButtonChecked(m_hWnd, IDC_CHECK_RUN) == BST_CHECKED ? 1 : 0;
  ::SendMessageW(::GetParent(m_hWnd), WM_START_INSTALL, 0, 0);
}

INT_PTR CSelDirDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_BTN_BROWSE:
          OnBrowse();
          return TRUE;
        case IDOK:
          OnInstall();
          return TRUE;
        case IDCANCEL:
          ::PostQuitMessage(0);
          return TRUE;
      }
      return FALSE;
  }
  return CPageDlg::OnMessage(msg, wParam, lParam);
}
