#include "archive/zip_wide_path.h"

#include <cstring>
#include <string>

#include "base/gbk_text.h"

WidePath::WidePath(const char* gbk) : text_{}, ok_(false) {
  std::u16string wide;
  if (!GbkToUtf16(gbk, &wide) || wide.size() >= MAX_PATH) return;
  std::memcpy(text_, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  ok_ = true;
}
