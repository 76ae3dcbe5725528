// The root of our window objects. One HWND-to-object binding serves dialogs
// and controls alike (a window property naming the object), and a native
// control, made here or found in a dialog template, is subclassed into its
// object through comctl32's SetWindowSubclass; every message the object does
// not answer ends in DefSubclassProc.
//
// Lifetime: a control object that is a member of its parent's object dies
// before the parent's window does, so the destructor removes the subclass
// while the HWND is still valid; a window destroyed first unbinds itself at WM_NCDESTROY.
// A window this object made with Create is destroyed with the object; one
// it only subclassed is left to its parent.
#pragma once

#include <windows.h>

#include <string>

// The parent sends a child's own drawing and colour requests back to the
// child's object as kReflectBase + the message (WM_DRAWITEM, WM_CTLCOLOR*).
constexpr UINT kReflectBase = WM_USER + 0x1C00;
constexpr UINT Reflected(UINT msg) { return kReflectBase + msg; }

// The windows are Unicode windows; the program's text is GBK. Text goes into
// and comes out of any window, control or not, through these.
void SetWindowTextGbk(HWND hwnd, const char* text);
// The text as the window holds it, UTF-16 (what drawing and measuring take).
std::u16string WindowTextW(HWND hwnd);
// A character GBK cannot hold reads as '?' (Utf16ToGbk over WindowTextW
// tells instead).
std::string GetWindowTextGbk(HWND hwnd);

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The object bound to hwnd, or null.
  static CWnd* FromHandle(HWND hwnd);

  // Creates a child window of a system class (caption, style, rectangle in
  // the parent's client coordinates, control ID) as a Unicode window
  // (CreateWindowExW) and subclasses it; the caption is GBK.
  bool Create(const char* className, const char* caption, DWORD style, const RECT& rect, HWND parent, int id);
  // Subclasses an existing window into this object: PreSubclassWindow runs
  // first, as it does for Create.
  bool SubclassWindow(HWND hwnd);
  bool SubclassDlgItem(int id, HWND parent);
  bool SubclassDlgItem(int id, const CWnd& parent) { return SubclassDlgItem(id, parent.m_hWnd); }
  // Removes the subclass and the binding; returns the window.
  HWND UnsubclassWindow();

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  // The window's text as GBK; a character GBK cannot hold reads as '?'.
  std::string GetWindowText() const { return GetWindowTextGbk(m_hWnd); }
  void SetWindowText(const char* text) const { SetWindowTextGbk(m_hWnd, text); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
  // Removes and adds style bits (no frame change, no redraw).
  void ModifyStyle(DWORD remove, DWORD add) const;
  RECT GetClientRect() const;
  RECT GetWindowRect() const;
  void Invalidate(bool erase = true) const { (void)::InvalidateRect(m_hWnd, nullptr, erase); }
  bool SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const {
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags) != FALSE;
  }
  void MoveWindow(int x, int y, int cx, int cy, bool repaint = true) const {
    (void)::MoveWindow(m_hWnd, x, y, cx, cy, repaint);
  }
  bool IsWindowVisible() const { return m_hWnd != nullptr && ::IsWindowVisible(m_hWnd); }
  void ShowWindow(int show) const {
    if (m_hWnd) ::ShowWindow(m_hWnd, show);
  }
  void DestroyWindow();

  bool IsSubclassedControl() const { return m_bSubclassed; }

  HWND m_hWnd = nullptr;

 protected:
  // Runs before the subclass is in place, whichever way the window was born.
  virtual void PreSubclassWindow() {}
  // The message switch of a subclassed window; the default passes the
  // message on.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) { return Default(msg, wParam, lParam); }
  // The native window's own handling (DefSubclassProc).
  LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) const;

  // Binding for windows that are not subclassed (dialogs bind at
  // WM_INITDIALOG and unbind at WM_NCDESTROY).
  void Bind(HWND hwnd);
  void Unbind();

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR refData);
  bool m_bSubclassed = false;
  bool m_bOwnsWindow = false;  // made by Create
};

// Sends a parent's WM_DRAWITEM (to hwndItem; not for menus, wParam 0) or
// WM_CTLCOLOR* (to lParam) back to the child as Reflected(msg), when a
// subclassed object is bound to the child. True with the child's answer in
// *result when that answer is non-zero; false lets the parent answer itself.
bool ReflectToChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
