// Owned Win32 handles: move-only wrappers in the manner of unique_any<T, Close>.
// Copying is deleted, moving transfers ownership, and both NULL and
// INVALID_HANDLE_VALUE count as "empty" for kernel handles.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <winsock2.h>

#include <utility>

template <typename T, typename Traits>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  ~UniqueAny() { reset(); }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }
  T release() { return std::exchange(value_, Traits::Empty()); }
  void reset(T value = Traits::Empty()) {
    T old = std::exchange(value_, value);
    if (Traits::IsValid(old)) Traits::Close(old);
  }
  // For out-parameters: closes what is held and hands out the slot.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Traits::Empty();
};

struct KernelHandleTraits {
  static HANDLE Empty() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY Empty() { return nullptr; }
  static bool IsValid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct GdiObjectTraits {
  static HGDIOBJ Empty() { return nullptr; }
  static bool IsValid(HGDIOBJ h) { return h != nullptr; }
  static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};
struct InternetHandleTraits {
  static HINTERNET Empty() { return nullptr; }
  static bool IsValid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
struct SocketTraits {
  static SOCKET Empty() { return INVALID_SOCKET; }
  static bool IsValid(SOCKET s) { return s != INVALID_SOCKET; }
  static void Close(SOCKET s) { ::closesocket(s); }
};
struct GlobalMemTraits {
  static HGLOBAL Empty() { return nullptr; }
  static bool IsValid(HGLOBAL h) { return h != nullptr; }
  static void Close(HGLOBAL h) { ::GlobalFree(h); }
};
struct MemoryDcTraits {
  static HDC Empty() { return nullptr; }
  static bool IsValid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
};

using UniqueHandle = UniqueAny<HANDLE, KernelHandleTraits>;
using UniqueHKey = UniqueAny<HKEY, RegKeyTraits>;
using UniqueGdiObject = UniqueAny<HGDIOBJ, GdiObjectTraits>;
using UniqueInternet = UniqueAny<HINTERNET, InternetHandleTraits>;
using UniqueSocket = UniqueAny<SOCKET, SocketTraits>;
using UniqueHGlobal = UniqueAny<HGLOBAL, GlobalMemTraits>;
using UniqueMemoryDc = UniqueAny<HDC, MemoryDcTraits>;

// Selects an object into a DC for a scope and puts the previous one back on
// the same DC.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelect() {
    if (old_ != nullptr && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};
