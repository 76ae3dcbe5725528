// Windows: the system's own code page 936 tables.
#include <windows.h>

#include "base/gbk_text.h"

namespace {
constexpr UINT kGbk = 936;
}

bool GbkToUtf16(std::string_view gbk, std::u16string* out) {
  out->clear();
  if (gbk.empty()) return true;
  const int n = ::MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  return ::MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                               reinterpret_cast<wchar_t*>(&(*out)[0]), n) == n;
}

bool Utf16ToGbk(std::u16string_view text, std::string* out) {
  out->clear();
  if (text.empty()) return true;
  // An unpaired surrogate has no GBK form; WideCharToMultiByte would let it pass as '?'.
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int count = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int n = ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  out->resize(static_cast<size_t>(n));
  usedDefault = FALSE;
  return ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide, count, &(*out)[0], n, nullptr, &usedDefault) == n &&
         !usedDefault;
}
