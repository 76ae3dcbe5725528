#include "framework/dialog.h"

HINSTANCE ResourceModule() { return ::GetModuleHandleA(nullptr); }

CDialog::~CDialog() {
  if (m_hWnd != nullptr && !m_bModal) DestroyWindow();
}

INT_PTR CDialog::DoModal(HWND parent) {
  m_bModal = true;
  return ::DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(m_nTemplateId), parent, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(HWND parent) {
  m_bModal = false;
  HWND hwnd = ::CreateDialogParamA(ResourceModule(), MAKEINTRESOURCEA(m_nTemplateId), parent, &CDialog::DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

void CDialog::DestroyWindow() {
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(INT_PTR result) {
  if (m_bModal) {
    ::EndDialog(m_hWnd, result);
  } else {
    DestroyWindow();
  }
}

INT_PTR CDialog::OnMessage(UINT, WPARAM, LPARAM) { return FALSE; }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->m_hWnd = hwnd;
    ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    const BOOL focus = self->OnInitDialog();
    return focus;
  }
  self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  const INT_PTR result = self->OnMessage(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    self->m_hWnd = nullptr;
    self->OnFinalMessage();
  }
  return result;
}
