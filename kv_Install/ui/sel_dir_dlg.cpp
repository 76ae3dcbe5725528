#include "ui/sel_dir_dlg.h"

#include <shlobj.h>

#include <string>

#include "archive/payload.h"
#include "base/gbk_text.h"
#include "base/wide.h"
#include "core/disk_space.h"
#include "core/disk_space_win.h"
#include "core/folder_rules.h"
#include "core/install_step.h"
#include "core/setup_log.h"
#include "core/shell_folders.h"
#include "res/resource.h"
#include "skin/control_support.h"
#include "skin/skin_scale.h"
#include "ui/messages.h"

namespace {

constexpr COLORREF kBlue = RGB(65, 125, 253);
constexpr COLORREF kGrey = RGB(119, 119, 119);

}  // namespace

CSelDirDlg::CSelDirDlg(InstallState& state, const std::string& appName)
    : CPageDlg(IDD_SELDIR, IDB_TOP, RGB(255, 255, 255)), m_state(state), m_strAppName(appName) {}

BOOL CSelDirDlg::OnInitDialog() {
  (void)CPageDlg::OnInitDialog();
  (void)m_editDir.SubclassDlgItem(IDC_EDIT_DIR, m_hWnd);  // unbound, it stays a plain edit box
  // A /DIR folder as it was given (the rules apply when 立即安装 is pressed,
  // as for a typed one), else the default.
  if (m_state.m_options.dirGiven) {
    ::SetDlgItemTextW(m_hWnd, IDC_EDIT_DIR, WStr(m_state.m_options.dir));
  } else {
    SetDlgItemText(IDC_EDIT_DIR, DefaultInstallFolder(SpecialFolderPath(kCsidlProgramFiles)).c_str());
  }
  // Browse keeps square corners; every size comes from the layout.
  m_pBtnBrowse = MakeTextButton("浏览...", IDC_BTN_BROWSE, RECT{0, 0, 0, 0}, kBlue);
  m_pBtnInstall = MakeTextButton("立即安装", IDOK, RECT{0, 0, 100, 35}, kBlue);
  m_pBtnCancel = MakeTextButton("取消", IDCANCEL, RECT{0, 0, 100, 35}, kGrey);
  // Tab goes in reading order: "浏览..." right after the folder box.
  ::SetWindowPos(m_pBtnBrowse->GetSafeHwnd(), GetDlgItem(IDC_EDIT_DIR), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::CheckDlgButton(m_hWnd, IDC_CHECK_RUN, BST_CHECKED);
  ::CheckDlgButton(m_hWnd, IDC_CHECK_DESKTOP, m_state.m_options.noDesktop ? BST_UNCHECKED : BST_CHECKED);
  m_editDir.m_crBack = RGB(255, 255, 255);
  m_editDir.m_crTextColor = RGB(0, 0, 0);
  m_editDir.m_crPlaceholder = RGB(0, 0, 0);
  return TRUE;
}

void CSelDirDlg::Layout(int cx, int) {
  const DirPageLayout l = LayOutDirPage(m_nDpi, cx, m_nTopImageHeight);
  PlaceControl(IDC_STATIC_DIR, l.label);
  // The box centres its text from this layout when the move asks for its
  // non-client size again.
  if (m_editDir.GetSafeHwnd() != nullptr) m_editDir.m_rcLayout = RECT{0, 0, l.edit.right - l.edit.left, l.edit.bottom - l.edit.top};
  PlaceControl(IDC_EDIT_DIR, l.edit);
  PlaceTextButton(m_pBtnBrowse.get(), l.browse, false);
  PlaceControl(IDC_CHECK_DESKTOP, l.desktop);
  PlaceControl(IDC_CHECK_RUN, l.run);
  PlaceTextButton(m_pBtnCancel.get(), l.cancel, true);
  PlaceTextButton(m_pBtnInstall.get(), l.install, true);
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
  // A drive too small is said now, while another folder can still be chosen.
  const SpaceCheck space = CheckDiskSpace(folder);
  if (!space.enough) {
    ::MessageBoxW(::GetParent(m_hWnd), WStr(Wide(NoSpaceMessage(space.needBytes, space.freeBytes, space.volume))),
                  WStr(Wide(m_strAppName)), MB_OK | MB_ICONWARNING);
    ::SetFocus(GetDlgItem(IDC_EDIT_DIR));
    return;
  }
  LogLine("install folder " + folder);
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
