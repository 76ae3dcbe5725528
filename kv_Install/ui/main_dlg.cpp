#include "ui/main_dlg.h"

#include <utility>

#include "base/gdi.h"
#include "base/wide.h"
#include "core/disk_space.h"
#include "core/disk_space_win.h"
#include "core/error_lines.h"
#include "core/folder_rules.h"
#include "core/install_step.h"
#include "core/setup_log.h"
#include "core/shell_folders.h"
#include "archive/payload.h"
#include "framework/module.h"
#include "res/resource.h"
#include "skin/dpi.h"
#include "skin/skin_scale.h"
#include "skin/theme.h"
#include "ui/about_dlg.h"
#include "ui/messages.h"

const char kInstallerWindowProperty[] = "Kelvane.kvsetup";

namespace {

BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) {
  (void)::SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

}  // namespace

Ckv_InstallDlg::Ckv_InstallDlg(InstallState& state, std::string appName)
    : CSkinDlg(IDD_KV_INSTALL_DIALOG),
      m_state(state),
      m_strAppName(std::move(appName)),
      m_dirPage(state, m_strAppName),
      m_progressPage(state),
      m_finishPage(state) {
  m_hIcon = ::LoadIconA(ResourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

BOOL Ckv_InstallDlg::OnInitDialog() {
  KeepDialogLayout(m_hWnd);
  wchar_t about[256] = {};
  if (::LoadStringW(ResourceModule(), IDS_ABOUTBOX, about, 256) > 0) {
    HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    if (menu != nullptr) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  // Another installer looks for this name: it stays byte for byte as it is.
  ::SetPropA(m_hWnd, kInstallerWindowProperty, reinterpret_cast<HANDLE>(1));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_dirPage.Create(m_hWnd);
  m_progressPage.Create(m_hWnd);
  m_finishPage.Create(m_hWnd);
  ShowPage(m_dirPage);
  // Its text names it for screen readers, never shown; it is the last tab
  // stop, after the visible page's controls.
  m_pBtnClose = std::make_unique<CPngButton>();
  m_pBtnClose->m_bCaptionHidden = 1;
  if (!m_pBtnClose->Create("关闭", WS_CHILD | WS_VISIBLE | WS_TABSTOP, RECT{0, 0, 0, 0}, m_hWnd, IDC_BTN_CLOSE)) {
    m_pBtnClose.reset();
  }
  (void)theTheme.ReadSystemColours();
  // The system's scale, or the largest step below it at which the window
  // fits the screen.
  const SkinSize work = WorkAreaSize(m_hWnd);
  ApplyDpi(FitDpi(WindowDpi(m_hWnd), work.cx, work.cy), nullptr);

  if (m_state.m_bAdmin) {
    // Unattended: the /DIR folder, taken as the wizard takes a typed one, or
    // the default folder with its trailing separator; either is checked as
    // the wizard checks a folder, and the drive for room, before anything
    // is written; then go.
    std::string line;
    if (m_state.m_options.dirGiven) {
      std::string folder;
      const FolderProblem problem = CheckFolderBoxText(m_state.m_options.dir, LongestPayloadEntryPath(), &folder);
      m_state.m_strInstallDir = folder;
      if (problem != FolderProblem::None) {
        line = "the install folder \"" + NarrowOrPlaceholder(m_state.m_options.dir) + "\" given by /DIR cannot be used (" +
               FolderProblemText(problem) + "); nothing was installed";
      }
    } else {
      m_state.m_strInstallDir = DefaultInstallFolder(SpecialFolderPath(kCsidlProgramFiles));
      const FolderProblem problem =
          CheckInstallFolder(TrimTrailingBackslashes(m_state.m_strInstallDir), LongestPayloadEntryPath());
      if (problem != FolderProblem::None) {
        line = "the default install folder \"" + m_state.m_strInstallDir + "\" cannot be used (" +
               FolderProblemText(problem) + "); nothing was installed";
      }
    }
    if (!line.empty()) {
      WriteErrorLine(line.c_str());
      m_state.m_outcome = InstallOutcome::NotStarted;
      ::PostMessageW(m_hWnd, WM_INSTALL_FINISHED, 0, 0);
      return TRUE;
    }
    LogLine("install folder " + m_state.m_strInstallDir);
    // Nor does it start on a drive too small to take it.
    const SpaceCheck space = CheckDiskSpace(m_state.m_strInstallDir);
    if (!space.enough) {
      WriteErrorLine(NoSpaceLine(space.needBytes, space.freeBytes, space.volume).c_str());
      m_state.m_outcome = InstallOutcome::NoSpace;
      ::PostMessageW(m_hWnd, WM_INSTALL_FINISHED, 0, 0);
      return TRUE;
    }
    m_progressPage.StartInstall();
  } else {
    // Centre on the screen, as a dialog that initialisation did not place.
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    ::SetWindowPos(m_hWnd, nullptr, work.left + (work.right - work.left - w) / 2,
                   work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return TRUE;
}

void Ckv_InstallDlg::ApplyDpi(int dpi, const RECT* suggested) {
  m_nDpi = dpi > kBaseDpi ? dpi : kBaseDpi;
  theTheme.SetDpi(m_nDpi);
  if (suggested != nullptr) {
    ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    const SkinSize size = MainWindowSize(m_nDpi);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The close button sizes itself to its face (22 x 22 at 96 dpi) and sits
  // 13 px from the right, centred in the caption band.
  SkinSize face = {0, 0};
  if (m_pBtnClose) {
    m_pBtnClose->m_focusCue = FocusCueAt(m_nDpi);
    m_pBtnClose->LoadFaces(m_nDpi);
    m_pBtnClose->SizeToContent();
    const RECT button = m_pBtnClose->GetWindowRect();
    face = {button.right - button.left, button.bottom - button.top};
  }
  const RECT client = GetClientRect();
  const MainLayout layout = LayOutMainWindow(m_nDpi, client.right, face);
  m_nCaptionHeight = layout.captionHeight;
  if (m_pBtnClose) {
    (void)m_pBtnClose->SetWindowPos(nullptr, layout.close.left, layout.close.top, 0, 0,
                                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (CPageDlg* page : Pages()) {
    page->MoveWindow(0, m_nCaptionHeight, client.right, client.bottom - m_nCaptionHeight);
    page->ApplyDpi(m_nDpi);
  }
  // The preferred face as the system lists it (its Chinese or its English name).
  m_fontCaption.reset(::CreateFontW(ScaleLength(20, m_nDpi), 0, 0, 0, 500, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS,
                                    WStr(Wide(theTheme.m_choice.preferredFace))));
  m_nTitleLeft = layout.titleLeft;
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Shows one page and hides the others, going through them in their order.
void Ckv_InstallDlg::ShowPage(const CPageDlg& shown) {
  for (CPageDlg* page : Pages()) page->ShowWindow(page == &shown ? SW_SHOW : SW_HIDE);
}

// The keyboard follows the visible page: a control of a hidden page would
// otherwise keep the focus and take the keys.
void Ckv_InstallDlg::FocusPage(const CPageDlg& page) {
  if (!m_state.m_bAdmin) ::SetFocus(page.GetSafeHwnd());
}

CPageDlg* Ckv_InstallDlg::VisiblePage() {
  for (CPageDlg* page : Pages()) {
    if (page->IsWindowVisible()) return page;
  }
  return nullptr;
}

void Ckv_InstallDlg::OnStartInstall() {
  ShowPage(m_progressPage);
  m_progressPage.StartInstall();
  FocusPage(m_progressPage);
}

void Ckv_InstallDlg::OnInstallFinished() {
  if (m_state.m_bAdmin) {
    DestroyWindow();
    return;
  }
  m_finishPage.ShowOutcome();
  ShowPage(m_finishPage);
  FocusPage(m_finishPage);
}

void Ckv_InstallDlg::OnCloseButton() {
  // Unattended, nobody sees a notice, and a close request (taskkill without
  // /F, a deployment tool's graceful stop) must not end the install: it is
  // not obeyed at any moment; the run ends when its install has.
  if (m_state.m_bAdmin) return;
  if (m_progressPage.IsWindowVisible()) {
    // No caption of its own: the box shows the application's name.
    ::MessageBoxW(m_hWnd, WStr(Wide("安装进行中，请稍等")), WStr(Wide(m_strAppName)), MB_OK);
    return;
  }
  EndDialog(IDOK);
}

void Ckv_InstallDlg::Draw(HDC dc, const RECT& client) {
  RECT band = client;
  band.bottom = m_nCaptionHeight;
  FillSolidRect(dc, client, theTheme.Ink(kInkGround, RGB(45, 45, 45)));
  FillSolidRect(dc, band, theTheme.Ink(kInkGround, RGB(36, 36, 36)));

  // The theme's title font is selected first, as the band's font of record;
  // the name itself is drawn in the window's own font over it.
  ScopedSelect title(dc, theTheme.m_fontTitle.get());
  ScopedSelect caption(dc, m_fontCaption.get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, theTheme.Ink(kInkText, RGB(122, 124, 136)));
  RECT text = band;
  text.left += m_nTitleLeft;
  ::DrawTextW(dc, L"Kelvane", -1, &text, DT_SINGLELINE | DT_VCENTER);
}

INT_PTR Ckv_InstallDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DESTROY:
      ::RemovePropA(m_hWnd, kInstallerWindowProperty);
      return FALSE;
    case WM_DPICHANGED:
      // Moved to a monitor of another scale: the new DPI is the message's
      // own (the system may still report the old one), the rectangle the
      // system's suggestion.
      ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      SetMessageResult(0);
      return TRUE;
    case WM_SYSCOLORCHANGE:
      // The common controls take the system's new colours when told.
      ::EnumChildWindows(m_hWnd, &SendSysColorChange, 0);
      [[fallthrough]];
    case WM_SETTINGCHANGE:
      // A high-contrast theme turned on or off, or its colours changed.
      if (theTheme.ReadSystemColours()) {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
      }
      return FALSE;
    case WM_SHOW_DIRPAGE:
      ShowPage(m_dirPage);
      SetMessageResult(0);
      return TRUE;
    case WM_START_INSTALL:
      OnStartInstall();
      SetMessageResult(0);
      return TRUE;
    case WM_INSTALL_FINISHED:
      OnInstallFinished();
      return TRUE;
    case WM_SKINBTN_CLICK:
      // Only the close button's notice counts; its BN_CLICKED is not acted
      // on, or one click would be handled twice.
      if (lParam == IDC_BTN_CLOSE) OnCloseButton();
      SetMessageResult(0);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          // Enter: the dialog manager asks the main window; the visible
          // page's default command answers.
          if (CPageDlg* page = VisiblePage()) ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, IDOK, 0);
          return TRUE;
        case IDCANCEL:
          // Esc, and the dialog manager's answer to WM_CLOSE.
          OnCloseButton();
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // Alt+F4 and the system menu's Close take the close button's path, so
      // they cannot end an install before its finish page or its updater.
      OnCloseButton();
      return TRUE;
    case WM_QUERYENDSESSION:
      // A logoff or shutdown waits while the install runs (the reason shown
      // is set by the progress page).
      SetMessageResult(m_progressPage.InstallUnfinished() ? FALSE : TRUE);
      return TRUE;
    case WM_ENDSESSION:
      // The session ends anyway (a forced logoff or shutdown): once an
      // install was asked for, the process goes now, well inside the time
      // the system gives it. A step that ends within the bound, or has put
      // everything but the reports in place, leaves the status it earned;
      // any other is never reported as a success. No exit handler runs: the
      // step may still be writing a file or a registry value.
      if (wParam && m_progressPage.InstallRequested()) {
        const bool ended = m_progressPage.WaitForStep(kSessionEndWaitMs) == StepWait::Ended &&
                           !m_progressPage.InstallUnfinished();
        const bool inPlace = m_state.InPlace();
        const InstallOutcome outcome = OutcomeAtSessionEnd(ended, inPlace, m_state.m_outcome);
        if (!ended && !inPlace) WriteErrorLine("the session ended before the install was done");
        EndSetupLog(InstallExitStatus(outcome));
        (void)::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(InstallExitStatus(outcome)));
      }
      SetMessageResult(0);
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal(m_hWnd);
        return TRUE;
      }
      return FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(m_hIcon);
    case WM_NCHITTEST: {
      POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ::ScreenToClient(m_hWnd, &pt);
      RECT rc;
      ::GetClientRect(m_hWnd, &rc);
      rc.bottom = m_nCaptionHeight;
      if (::PtInRect(&rc, pt)) {
        SetMessageResult(HTCAPTION);
        return TRUE;
      }
      return FALSE;
    }
    case WM_SHOWWINDOW:
      Invalidate(true);
      return FALSE;
  }
  return CSkinDlg::OnMessage(msg, wParam, lParam);
}

void Ckv_InstallDlg::OnFinalMessage() {
  // The unattended run's window is the application's main window: when it is
  // gone, the message loop ends.
  if (!IsModal()) ::PostQuitMessage(0);
}
