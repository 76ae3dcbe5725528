// Owned Win32 handles: move-only wrappers in the manner of unique_any<T, Close>.
// Copying is deleted, moving transfers ownership, and both NULL and
// INVALID_HANDLE_VALUE count as "empty" for kernel and find handles. A handle
// that is only borrowed (a theme font, the DC of WM_DRAWITEM) stays a plain
// handle.
#pragma once

#include <windows.h>

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
  T operator->() const { return value_; }  // for interface pointers
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

// Handles whose empty value is null and that one function closes.
template <typename T, auto CloseFn>
struct NullEmptyTraits {
  static T Empty() { return nullptr; }
  static bool IsValid(T h) { return h != nullptr; }
  static void Close(T h) { (void)CloseFn(h); }
};

// Kernel and find handles: the API reports failure as INVALID_HANDLE_VALUE
// (files, snapshots, searches) or as null (processes, threads).
template <auto CloseFn>
struct KernelTraits {
  static HANDLE Empty() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { (void)CloseFn(h); }
};

// A COM interface pointer, released once.
template <typename Interface>
struct ComTraits {
  static Interface* Empty() { return nullptr; }
  static bool IsValid(Interface* p) { return p != nullptr; }
  static void Close(Interface* p) { p->Release(); }
};

inline BOOL DeleteGdiObject(HGDIOBJ object) { return ::DeleteObject(object); }

using UniqueHandle = UniqueAny<HANDLE, KernelTraits<::CloseHandle>>;
using UniqueFindHandle = UniqueAny<HANDLE, KernelTraits<::FindClose>>;
using UniqueHKey = UniqueAny<HKEY, NullEmptyTraits<HKEY, ::RegCloseKey>>;
using UniqueHGlobal = UniqueAny<HGLOBAL, NullEmptyTraits<HGLOBAL, ::GlobalFree>>;
using UniqueMemoryDc = UniqueAny<HDC, NullEmptyTraits<HDC, ::DeleteDC>>;
using UniqueGdiObject = UniqueAny<HGDIOBJ, NullEmptyTraits<HGDIOBJ, DeleteGdiObject>>;
using UniqueFont = UniqueAny<HFONT, NullEmptyTraits<HFONT, DeleteGdiObject>>;
using UniqueBitmap = UniqueAny<HBITMAP, NullEmptyTraits<HBITMAP, DeleteGdiObject>>;
template <typename Interface>
using UniqueCom = UniqueAny<Interface*, ComTraits<Interface>>;
