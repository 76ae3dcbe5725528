// The dialog base: a dialog created from
// a resource template, modal or modeless, whose messages go to a virtual
// OnMessage of the C++ object. The object is bound to its window at
// WM_INITDIALOG (lParam carries `this`) through the binding every CWnd uses.
//
// A child's drawing and colour requests (WM_DRAWITEM, WM_CTLCOLOR*) go to the
// child's own object first (ReflectToChild); the dialog's OnMessage sees them
// only when that object is absent or gives no answer.
#pragma once

#include <windows.h>

#include "framework/wnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(int templateId) : m_nTemplateId(templateId) {}
  ~CDialog() override;

  // Runs the dialog modally (DialogBoxParamW: a Unicode window, which keeps
  // the template's text whatever the system's code page); returns the
  // EndDialog result.
  INT_PTR DoModal(HWND parent = nullptr);
  // Creates the dialog modeless (CreateDialogParamW); true when it exists.
  bool Create(HWND parent);

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  // Sets a control's text from GBK (SetDlgItemTextW's way).
  void SetDlgItemText(int id, const char* text) const;

 protected:
  // Called at WM_INITDIALOG once the object is bound; TRUE lets the system
  // set the default focus.
  virtual BOOL OnInitDialog() { return TRUE; }
  // A dialog procedure's answer: FALSE for "not handled"; a handler that
  // produces a result sets it with SetMessageResult and returns TRUE.
  virtual INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // Called when the window is gone (WM_NCDESTROY).
  virtual void OnFinalMessage() {}

  void SetMessageResult(LRESULT result) const { ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result); }
  void EndDialog(INT_PTR result);
  bool IsModal() const { return m_bModal; }

  int m_nTemplateId;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool m_bModal = false;
};
