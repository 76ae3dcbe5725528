// The native build (tests, fuzzers, the host's kvzip): the C library's CP936
// tables through iconv, which agree with Windows' code page 936.
#include <iconv.h>

#include <cerrno>

#include "base/gbk_text.h"

namespace {

// Converts in one go; false on any sequence iconv refuses.
bool Convert(const char* to, const char* from, const char* in, size_t inBytes, std::string* out) {
  out->clear();
  if (inBytes == 0) return true;
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buffer(inBytes * 4 + 8, '\0');
  char* src = const_cast<char*>(in);
  char* dst = &buffer[0];
  size_t dstLeft = buffer.size();
  const size_t r = ::iconv(cd, &src, &inBytes, &dst, &dstLeft);
  ::iconv_close(cd);
  if (r == static_cast<size_t>(-1) || inBytes != 0 || r != 0) return false;  // r > 0: an inexact mapping
  buffer.resize(buffer.size() - dstLeft);
  out->swap(buffer);
  return true;
}

}  // namespace

bool GbkToUtf16(std::string_view gbk, std::u16string* out) {
  std::string bytes;
  if (!Convert("UTF-16LE", "CP936", gbk.data(), gbk.size(), &bytes)) return false;
  out->assign(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out->size(); ++i) {
    (*out)[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return true;
}

bool Utf16ToGbk(std::u16string_view text, std::string* out) {
  std::string bytes(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return Convert("CP936", "UTF-16LE", bytes.data(), bytes.size(), out);
}
