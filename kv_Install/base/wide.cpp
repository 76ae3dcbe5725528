#include "base/wide.h"

#include <windows.h>

#include "base/gbk_text.h"

namespace {

constexpr UINT kGbk = 936;

}  // namespace

std::wstring Wide(std::string_view gbk) {
  std::u16string exact;
  if (GbkToUtf16(gbk, &exact)) return std::wstring(exact.begin(), exact.end());
  // Not GBK throughout: let the system's table stand U+FFFD in for what it cannot read.
  const int count = static_cast<int>(gbk.size());
  const int n = ::MultiByteToWideChar(kGbk, 0, gbk.data(), count, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  (void)::MultiByteToWideChar(kGbk, 0, gbk.data(), count, &out[0], n);
  return out;
}

bool Narrow(std::wstring_view text, std::string* gbk) {
  if (Utf16ToGbk(AsU16(text), gbk)) return true;
  gbk->clear();
  return false;
}

std::string NarrowOrPlaceholder(std::wstring_view text) {
  std::string out;
  if (Utf16ToGbk(AsU16(text), &out)) return out;
  // Character by character (a surrogate pair is one character).
  out.clear();
  for (size_t i = 0; i < text.size();) {
    size_t len = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      len = 2;
    }
    std::string one;
    out += Utf16ToGbk(AsU16(text.substr(i, len)), &one) ? one : std::string("?");
    i += len;
  }
  return out;
}
