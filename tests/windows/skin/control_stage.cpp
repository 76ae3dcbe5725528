#include "control_stage.h"

#include <cstdint>
#include <cstring>

#include "res/resource.h"
#include "skin/skin_messages.h"

TestPage::TestPage() : CDialog(IDD_SELDIR), m_hBrush(::CreateSolidBrush(kPageColour)) {}
TestPage::~TestPage() { ::DeleteObject(m_hBrush); }

int TestPage::Count(UINT msg, LPARAM lParam) const {
  int n = 0;
  for (const Note& note : notes) n += note.msg == msg && note.lParam == lParam;
  return n;
}
int TestPage::Count(UINT msg) const {
  int n = 0;
  for (const Note& note : notes) n += note.msg == msg;
  return n;
}

INT_PTR TestPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SKINBTN_CLICK:
    case WM_MOUSELEAVE:
      notes.push_back({msg, wParam, lParam});
      return TRUE;
    case WM_MOUSEMOVE:
      if (wParam == 0 && lParam == 0) notes.push_back({msg, wParam, lParam});
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) notes.push_back({msg, LOWORD(wParam), 0});
      return TRUE;  // neither OK nor Cancel ends this page
    case WM_CTLCOLORBTN:
      notes.push_back({msg, 0, lParam});
      return FALSE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(m_hBrush);
  }
  return FALSE;
}

namespace {

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

Stage* MakeStage() {
  auto* stage = new Stage;  // lives as long as the test program
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "KvSkinStage";
  wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  ::RegisterClassA(&wc);
  stage->host = ::CreateWindowExA(0, wc.lpszClassName, "skin stage", WS_POPUP | WS_VISIBLE, 0, 0, 640, 360, nullptr,
                                  nullptr, wc.hInstance, nullptr);
  stage->page.Create(stage->host);
  ::MoveWindow(stage->page.m_hWnd, 0, 0, 640, 360, TRUE);
  ::SetForegroundWindow(stage->host);
  Pump(100);
  return stage;
}

}  // namespace

Stage& TheStage() {
  static Stage* stage = MakeStage();
  return *stage;
}
HWND Page() { return TheStage().page.m_hWnd; }

void Pump(int ms) {
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
  do {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::Sleep(5);
  } while (static_cast<int>(end - ::GetTickCount()) > 0);
}

void MouseTo(HWND hwnd, int x, int y) {
  POINT pt = {x, y};
  ::ClientToScreen(hwnd, &pt);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((pt.x * 65536 + 32768) / ::GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = static_cast<LONG>((pt.y * 65536 + 32768) / ::GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &input, sizeof input);
  Pump(60);
}

void MouseButton(bool down) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &input, sizeof input);
  Pump(60);
}

void RepaintPage() {
  ::RedrawWindow(Page(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(30);
}

std::unique_ptr<DibCanvas> Snapshot(HWND hwnd) {
  RECT rc;
  ::GetWindowRect(hwnd, &rc);
  auto canvas = std::make_unique<DibCanvas>(rc.right - rc.left, rc.bottom - rc.top, RGB(1, 2, 3));
  HDC dc = ::GetWindowDC(hwnd);
  ::BitBlt(canvas->dc(), 0, 0, canvas->width(), canvas->height(), dc, 0, 0, SRCCOPY);
  ::ReleaseDC(hwnd, dc);
  return canvas;
}

namespace {

// Wine keeps the process's GDI objects in the table the PEB points to (at
// 0x94 in a 32-bit PEB, 0xF8 in a 64-bit one); a live entry has a non-zero
// type. A 32-bit process in a 64-bit prefix (WoW64) finds it through its
// 64-bit PEB, whose TEB lies WowTebOffset (TEB + 0xFDC) bytes from its own.
#pragma pack(push, 1)
struct GdiHandleEntry {
  std::uint64_t object;
  std::uint32_t owner;
  std::uint16_t unique;
  std::uint8_t type;
  std::uint8_t flags;
  std::uint64_t user;
};
#pragma pack(pop)
static_assert(sizeof(GdiHandleEntry) == 24, "Wine's GDI_HANDLE_ENTRY");

template <typename T>
T At(const std::uint8_t* base, std::ptrdiff_t offset) {
  T value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}

int WineGdiObjectCount() {
  // The TEB's address (NtCurrentTeb() trips GCC 12's bounds warning on
  // x86-64); the PEB pointer stands at 0x30 or 0x60 in it.
  const std::uint8_t* teb = nullptr;
#ifdef _WIN64
  asm("movq %%gs:0x30, %0" : "=r"(teb));
  const auto* table = At<const GdiHandleEntry*>(At<const std::uint8_t*>(teb, 0x60), 0xF8);
#else
  asm("movl %%fs:0x18, %0" : "=r"(teb));
  const auto* table = At<const GdiHandleEntry*>(At<const std::uint8_t*>(teb, 0x30), 0x94);
  const auto wowTebOffset = At<std::int32_t>(teb, 0xFDC);
  if (table == nullptr && wowTebOffset != 0) {
    const std::uint8_t* teb64 = teb + wowTebOffset;
    const auto peb64 = static_cast<std::uintptr_t>(At<std::uint64_t>(teb64, 0x60));
    table = reinterpret_cast<const GdiHandleEntry*>(
        static_cast<std::uintptr_t>(At<std::uint64_t>(reinterpret_cast<const std::uint8_t*>(peb64), 0xF8)));
  }
#endif
  if (table == nullptr) return -1;
  int n = 0;
  for (int i = 0; i < 0x10000; ++i) n += table[i].type != 0;
  return n;
}

}  // namespace

int GdiObjectCount() {
  ::GdiFlush();
  const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  if (count != 0) return static_cast<int>(count);
  return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr ? WineGdiObjectCount() : -1;
}
