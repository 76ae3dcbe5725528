#include "base/gbk_text.h"

#include <gtest/gtest.h>

namespace {

// GBK bytes and their UTF-16, both ways.
struct Pair {
  const char* gbk;
  const char16_t* utf16;
};
const Pair kPairs[] = {
    {"", u""},
    {"Kelvane\\kvUpdate.exe", u"Kelvane\\kvUpdate.exe"},
    {"\xD0\xB6\xD4\xD8.lnk", u"卸载.lnk"},
    {"\xB0\xB2\xD7\xB0\xCE\xBB\xD6\xC3", u"安装位置"},
    {"\xC5\x5C", u"臷"},        // trail byte 0x5C is no separator
    {"\x80", u"€"},             // code page 936's single euro byte
    {"\xA1\xA1", u"\u3000"},    // ideographic space
};

TEST(GbkText, ConvertsBothWaysExactly) {
  for (const Pair& p : kPairs) {
    std::u16string wide;
    std::string narrow;
    ASSERT_TRUE(GbkToUtf16(p.gbk, &wide)) << p.gbk;
    EXPECT_EQ(wide, p.utf16) << p.gbk;
    ASSERT_TRUE(Utf16ToGbk(p.utf16, &narrow)) << p.gbk;
    EXPECT_EQ(narrow, p.gbk);
  }
}

TEST(GbkText, RefusesWhatGbkCannotHold) {
  const std::u16string refused[] = {
      u"\uD55C",                 // Korean 한
      u"stra\u00DFe",            // ß has no GBK form (no best fit to "ss")
      u"\U0001F600",             // outside the BMP
      std::u16string(1, 0xD800), // unpaired surrogate
  };
  for (const std::u16string& text : refused) {
    std::string narrow;
    EXPECT_FALSE(Utf16ToGbk(text, &narrow)) << text.size();
  }
  for (const char* bytes : {"\xFF", "\xB0", "a\x81"}) {
    std::u16string wide;
    EXPECT_FALSE(GbkToUtf16(bytes, &wide)) << bytes;
  }
}

TEST(GbkText, Utf8ToGbkTakesWellFormedUtf8Only) {
  struct Case {
    const char* utf8;
    bool ok;
    const char* gbk;
  };
  const Case cases[] = {
      {"plain/name.txt", true, "plain/name.txt"},
      {"\xE5\x9B\xBE\xE7\x89\x87/\xE8\x83\x8C\xE6\x99\xAF.txt", true,  // 图片/背景.txt
       "\xCD\xBC\xC6\xAC/\xB1\xB3\xBE\xB0.txt"},
      {"\xED\x95\x9C", false, nullptr},      // 한: UTF-8 fine, GBK cannot hold it
      {"\xC0\xAF", false, nullptr},          // overlong '/'
      {"\xED\xA0\x80", false, nullptr},      // encoded surrogate
      {"\xF4\x90\x80\x80", false, nullptr},  // past U+10FFFF
      {"\xE5\x9B", false, nullptr},          // cut short
      {"\xB0\xB2", false, nullptr},          // GBK bytes, not UTF-8
  };
  for (const Case& c : cases) {
    std::string gbk;
    EXPECT_EQ(Utf8ToGbk(c.utf8, &gbk), c.ok) << c.utf8;
    if (c.ok) {
      EXPECT_EQ(gbk, c.gbk);
    }
  }
}

}  // namespace
