#include "base/gbk_text.h"

#include <cstdint>

bool Utf8ToUtf16(std::string_view utf8, std::u16string* out) {
  out->clear();
  out->reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t b = static_cast<uint8_t>(utf8[i]);
    uint32_t cp = 0;
    size_t len = 0;
    uint32_t min = 0;
    if (b < 0x80) {
      cp = b, len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F, len = 2, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F, len = 3, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07, len = 4, min = 0x10000;
    } else {
      return false;
    }
    if (utf8.size() - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      const uint8_t c = static_cast<uint8_t>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return true;
}

bool Utf8ToGbk(std::string_view utf8, std::string* out) {
  std::u16string wide;
  return Utf8ToUtf16(utf8, &wide) && Utf16ToGbk(wide, out);
}
