#include "skin/dpi.h"

#include <utility>

#include "framework/module.h"
#include "skin/skin_scale.h"

namespace {

template <typename Function>
Function Lookup(const wchar_t* module, const char* name) {
  // Never loads a DLL: user32 is always there, and where uxtheme is not
  // loaded nothing is themed.
  HMODULE loaded = ::GetModuleHandleW(module);
  return loaded != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(loaded, name)))
                           : nullptr;
}

}  // namespace

int WindowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  if (auto get = Lookup<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow")) {
    if (const UINT dpi = get(hwnd)) return static_cast<int>(dpi);
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) (void)::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

SkinSize WorkAreaSize(HWND hwnd) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  RECT& work = info.rcWork;
  if (!::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info)) {
    (void)::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  }
  return {work.right - work.left, work.bottom - work.top};
}

void KeepDialogLayout(HWND dialog) {
  using SetBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
  constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
  if (auto set = Lookup<SetBehaviourFn>(L"user32.dll", "SetDialogDpiChangeBehavior")) {
    (void)set(dialog, kDisableAll, kDisableAll);
  }
}

void KeepSkinLook(HWND control) {
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  if (auto set = Lookup<SetWindowThemeFn>(L"uxtheme.dll", "SetWindowTheme")) (void)set(control, L"", L"");
}

HFONT FontWithHeight(const LOGFONTW& model, int height) {
  LOGFONTW font = model;
  font.lfHeight = height;
  font.lfWidth = 0;
  return ::CreateFontIndirectW(&font);
}

bool LoadSkinPicture(CImage* image, UINT id1x, int dpi) {
  const int halves = PictureSetHalves(dpi);
  const UINT id = static_cast<UINT>(SkinPictureId(static_cast<int>(id1x), dpi));
  if (!LoadPngResource(image, id) || image->IsNull()) return false;
  const int width = ScaleLength((image->m_nWidth * 2 + halves / 2) / halves, dpi);
  const int height = ScaleLength((image->m_nHeight * 2 + halves / 2) / halves, dpi);
  if (width == image->m_nWidth && height == image->m_nHeight) return true;
  return LoadPngResource(image, id, width, height) && !image->IsNull();
}

UniqueBitmap LoadTopImage(UINT id1x, int dpi) {
  if (dpi <= kBaseDpi) {
    return UniqueBitmap(static_cast<HBITMAP>(
        ::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(id1x), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  }
  CImage image;
  return LoadSkinPicture(&image, id1x, dpi) ? std::move(image.m_hBitmap) : UniqueBitmap();
}
