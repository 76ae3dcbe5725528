#include "base/wide.h"

#include <windows.h>

#include <cstring>

#include "base/gbk_text.h"

namespace {

constexpr UINT kGbk = 936;

}  // namespace

std::u16string Wide(std::string_view gbk) {
  std::u16string out;
  if (GbkToUtf16(gbk, &out)) return out;
  // Not GBK throughout: the system's table puts a replacement character
  // where it cannot read.
  const int count = static_cast<int>(gbk.size());
  const int n = ::MultiByteToWideChar(kGbk, 0, gbk.data(), count, nullptr, 0);
  out.assign(n > 0 ? static_cast<size_t>(n) : 0, u'\0');
  if (n > 0) (void)::MultiByteToWideChar(kGbk, 0, gbk.data(), count, reinterpret_cast<wchar_t*>(&out[0]), n);
  return out;
}

std::string Utf8(std::string_view gbk) {
  const std::u16string wide = Wide(gbk);
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(wide.data()),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    (void)::WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(wide.data()),
                                static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
  }
  return utf8;
}

std::string NarrowOrPlaceholder(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int count = static_cast<int>(text.size());
  // No best fit: a character GBK has not becomes '?', never a look-alike.
  const int n = ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, "?", nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  (void)::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide, count, &out[0], n, "?", nullptr);
  return out;
}

static_assert(MAX_PATH == 260, "WidePath holds a path of the system's limit");

WidePath::WidePath(const char* gbk) : text_{}, ok_(false) {
  std::u16string wide;
  if (!GbkToUtf16(gbk, &wide) || wide.size() >= kSize) return;
  std::memcpy(text_, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  ok_ = true;
}
