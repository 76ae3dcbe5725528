#include "framework/wnd.h"

#include <commctrl.h>

#include "base/wide.h"
#include "framework/module.h"

namespace {

// The property that names a window's object. SetPropW keeps the atom for as
// long as some window carries the property.
constexpr const wchar_t kObjectProperty[] = L"kv.CWnd";
constexpr UINT_PTR kSubclassId = 1;

}  // namespace

CWnd::~CWnd() {
  if (m_hWnd == nullptr || !m_bSubclassed) return;
  // Stop dispatching to the object first, then take a window it made along.
  const bool owns = m_bOwnsWindow;
  HWND hwnd = UnsubclassWindow();
  if (owns && hwnd != nullptr) ::DestroyWindow(hwnd);
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<CWnd*>(::GetPropW(hwnd, kObjectProperty));
}

void CWnd::Bind(HWND hwnd) {
  m_hWnd = hwnd;
  (void)::SetPropW(hwnd, kObjectProperty, this);
}

void CWnd::Unbind() {
  if (m_hWnd != nullptr) (void)::RemovePropW(m_hWnd, kObjectProperty);
  m_hWnd = nullptr;
}

bool CWnd::Create(const char* className, const char* caption, DWORD style, const RECT& rect, HWND parent, int id) {
  if (m_hWnd != nullptr) return false;
  HWND hwnd = ::CreateWindowExW(0, WStr(Wide(className)), WStr(Wide(caption)), style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ResourceModule(), nullptr);
  if (hwnd == nullptr) return false;
  if (!SubclassWindow(hwnd)) {
    ::DestroyWindow(hwnd);
    return false;
  }
  m_bOwnsWindow = true;
  return true;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (hwnd == nullptr || m_hWnd != nullptr || FromHandle(hwnd) != nullptr) return false;
  m_hWnd = hwnd;
  PreSubclassWindow();
  if (!::SetWindowSubclass(hwnd, &CWnd::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    m_hWnd = nullptr;
    return false;
  }
  Bind(hwnd);
  m_bSubclassed = true;
  return true;
}

bool CWnd::SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }

HWND CWnd::UnsubclassWindow() {
  HWND hwnd = m_hWnd;
  if (hwnd == nullptr || !m_bSubclassed) return nullptr;
  (void)::RemoveWindowSubclass(hwnd, &CWnd::SubclassProc, kSubclassId);
  m_bSubclassed = false;
  m_bOwnsWindow = false;
  Unbind();
  return hwnd;
}

LRESULT CWnd::Default(UINT msg, WPARAM wParam, LPARAM lParam) const {
  return ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR refData) {
  CWnd* self = reinterpret_cast<CWnd*>(refData);
  if (msg == WM_NCDESTROY) {
    // The window goes first: stop dispatching to the object.
    (void)::RemoveWindowSubclass(hwnd, &CWnd::SubclassProc, kSubclassId);
    self->m_bSubclassed = false;
    self->m_bOwnsWindow = false;
    self->Unbind();
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
  }
  return self->WindowProc(msg, wParam, lParam);
}

std::u16string WindowTextW(HWND hwnd) {
  const int length = ::GetWindowTextLengthW(hwnd);  // UTF-16 units
  if (length <= 0) return std::u16string();
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  const int copied = ::GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(&text[0]), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

void SetWindowTextGbk(HWND hwnd, const char* text) { (void)::SetWindowTextW(hwnd, WStr(Wide(text))); }

std::string GetWindowTextGbk(HWND hwnd) { return NarrowOrPlaceholder(WindowTextW(hwnd)); }

void CWnd::ModifyStyle(DWORD remove, DWORD add) const {
  const DWORD style = GetStyle();
  const DWORD changed = (style & ~remove) | add;
  if (changed != style) (void)::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
}

RECT CWnd::GetClientRect() const {
  RECT rc = {};
  (void)::GetClientRect(m_hWnd, &rc);
  return rc;
}

RECT CWnd::GetWindowRect() const {
  RECT rc = {};
  (void)::GetWindowRect(m_hWnd, &rc);
  return rc;
}

void CWnd::DestroyWindow() {
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
}

bool ReflectToChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  HWND child = nullptr;
  if (msg == WM_DRAWITEM) {
    if (wParam == 0) return false;  // a menu's item
    child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
  } else if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
    child = reinterpret_cast<HWND>(lParam);
  } else {
    return false;
  }
  if (child == nullptr || child == parent) return false;  // WM_CTLCOLORDLG names the dialog itself
  const CWnd* object = CWnd::FromHandle(child);
  if (object == nullptr || !object->IsSubclassedControl()) return false;
  *result = ::SendMessageW(child, Reflected(msg), wParam, lParam);
  return *result != 0;
}
