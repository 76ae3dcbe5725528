#include "framework/dialog.h"

#include "framework/module.h"

CDialog::~CDialog() {
  if (m_hWnd != nullptr && !m_bModal) DestroyWindow();
}

INT_PTR CDialog::DoModal(HWND parent) {
  m_bModal = true;
  return ::DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(m_nTemplateId), parent, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(HWND parent) {
  m_bModal = false;
  HWND hwnd = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(m_nTemplateId), parent, &CDialog::DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
  if (m_bModal) {
    ::EndDialog(m_hWnd, result);
  } else {
    DestroyWindow();
  }
}

void CDialog::SetDlgItemText(int id, const char* text) const { SetWindowTextGbk(GetDlgItem(id), text); }

INT_PTR CDialog::OnMessage(UINT, WPARAM, LPARAM) { return FALSE; }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->Bind(hwnd);
    const BOOL focus = self->OnInitDialog();
    return focus;
  }
  // Only this procedure binds a window to a CDialog.
  self = static_cast<CDialog*>(CWnd::FromHandle(hwnd));
  if (self == nullptr) return FALSE;
  LRESULT reflected = 0;
  if (ReflectToChild(hwnd, msg, wParam, lParam, &reflected)) {
    if (msg != WM_DRAWITEM) return static_cast<INT_PTR>(reflected);  // WM_CTLCOLOR*: the brush itself
    self->SetMessageResult(reflected);
    return TRUE;
  }
  const INT_PTR result = self->OnMessage(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    self->Unbind();
    self->OnFinalMessage();
  }
  return result;
}
