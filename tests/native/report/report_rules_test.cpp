// Adapter selection, the setup report URL and the reading of config.ini.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "report/adapter_select.h"
#include "report/profile_text.h"
#include "report/setup_url.h"

namespace {

Adapter MakeAdapter(uint32_t length, std::vector<uint8_t> bytes, std::vector<std::string> ips) {
  Adapter a;
  a.addressLength = length;
  if (!bytes.empty()) std::memcpy(a.bytes, bytes.data(), bytes.size());
  a.ipAddresses = std::move(ips);
  return a;
}

struct Selected {
  std::string identity, ip;
};

Selected Select(const std::vector<Adapter>& adapters) {
  char identity[32] = {};
  char ip[32] = {};
  SelectMachineAddress(adapters, identity, ip);
  return {identity, ip};
}

TEST(AdapterSelect, FirstSixByteAdapterWithARealAddressWins) {
  const std::vector<uint8_t> mac1 = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  const std::vector<uint8_t> mac2 = {0xAB, 0xCD, 0xEF, 0x01, 0x9A, 0xFF};
  const std::vector<uint8_t> mac3 = {1, 2, 3, 4, 5, 6};

  // Disconnected first adapter, connected second.
  Selected s = Select({MakeAdapter(6, mac1, {"0.0.0.0"}), MakeAdapter(6, mac2, {"10.0.0.7"}),
                       MakeAdapter(6, mac3, {"10.0.0.8"})});
  EXPECT_EQ(s.identity, "ABCDEF019AFF");
  EXPECT_EQ(s.ip, "10.0.0.7");

  // First listed address unused, second real.
  s = Select({MakeAdapter(6, mac1, {"0.0.0.0", "172.16.0.3"}), MakeAdapter(6, mac2, {"10.0.0.7"})});
  EXPECT_EQ(s.identity, "001122334455");
  EXPECT_EQ(s.ip, "172.16.0.3");

  // Adapters with other address lengths never contribute, not even their address.
  s = Select({MakeAdapter(8, {9, 9, 9, 9, 9, 9, 9, 9}, {"1.1.1.1"}), MakeAdapter(0, {}, {"2.2.2.2"}),
              MakeAdapter(6, mac3, {"10.1.2.3"})});
  EXPECT_EQ(s.identity, "010203040506");
  EXPECT_EQ(s.ip, "10.1.2.3");
}

TEST(AdapterSelect, NoneQualifies) {
  const std::vector<uint8_t> mac1 = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  const std::vector<uint8_t> mac2 = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F};
  // The last 6-byte adapter's address and "0.0.0.0".
  Selected s = Select({MakeAdapter(6, mac1, {"0.0.0.0"}), MakeAdapter(6, mac2, {"0.0.0.0"}),
                       MakeAdapter(4, {1, 2, 3, 4}, {"0.0.0.0"})});
  EXPECT_EQ(s.identity, "AABBCCDDEE0F");
  EXPECT_EQ(s.ip, "0.0.0.0");
  // No 6-byte adapter at all, or none listed: both stay empty.
  s = Select({MakeAdapter(8, {1, 2, 3, 4, 5, 6, 7, 8}, {"10.0.0.1"})});
  EXPECT_EQ(s.identity, "");
  EXPECT_EQ(s.ip, "");
  s = Select({});
  EXPECT_EQ(s.identity, "");
  EXPECT_EQ(s.ip, "");
}

struct UrlCase {
  SetupUrlValues values;
  std::string expected;
};

std::string Url(const SetupUrlValues& values, bool* ok = nullptr) {
  char url[kSetupUrlSize];
  std::memset(url, 'X', sizeof url);
  const bool built = BuildSetupUrl(values, url);
  if (ok != nullptr) *ok = built;
  return url;
}

TEST(SetupUrl, Template) {
  const UrlCase cases[] = {
      {{"127.0.0.1:18080", "api/", "00AB12CD34EF", 4, "192.168.1.20", 345, "kvpc012"},
       "http://127.0.0.1:18080/api/client/loggingSetup?clientIdentity=00AB12CD34EF&clientType=4"
       "&deviceIp=192.168.1.20&kcUserNo=345&currentVersion=1.0&downloadSource=kvpc012"},
      // Empty context path, user number 0 gives an empty kcUserNo.
      {{"update.example", "", "001122334455", 4, "10.0.0.1", 0, "kvpc012"},
       "http://update.example/client/loggingSetup?clientIdentity=001122334455&clientType=4"
       "&deviceIp=10.0.0.1&kcUserNo=&currentVersion=1.0&downloadSource=kvpc012"},
      // Nothing is escaped; negative numbers as %d.
      {{"h", "a b//", "", 4, "", -7, "my src&x=1 %20"},
       "http://h/a b//client/loggingSetup?clientIdentity=&clientType=4"
       "&deviceIp=&kcUserNo=-7&currentVersion=1.0&downloadSource=my src&x=1 %20"},
  };
  for (const UrlCase& c : cases) {
    bool ok = false;
    EXPECT_EQ(Url(c.values, &ok), c.expected);
    EXPECT_TRUE(ok);
  }
}

TEST(SetupUrl, TooLongIsNotSentCutShort) {
  const SetupUrlValues base = {"h", "", "001122334455", 4, "10.0.0.1", 0, ""};
  const std::string fixed = Url(base);
  // Exactly 511 characters fit; 512 do not.
  const std::string fits(511 - fixed.size(), 's');
  const std::string tooLong(512 - fixed.size(), 's');
  SetupUrlValues values = base;
  values.downloadSource = fits.c_str();
  bool ok = false;
  EXPECT_EQ(Url(values, &ok).size(), 511u);
  EXPECT_TRUE(ok);
  values.downloadSource = tooLong.c_str();
  EXPECT_EQ(Url(values, &ok), "");
  EXPECT_FALSE(ok);

  // Host and context path at their 511-character limits.
  const std::string huge(511, 'h');
  values = base;
  values.updateHost = huge.c_str();
  values.contextPath = huge.c_str();
  EXPECT_EQ(Url(values, &ok), "");
  EXPECT_FALSE(ok);
}

// config.ini as the private-profile calls read it, but GBK byte for byte.
// "\x81\x5D" is a GBK character whose trail byte is ']', "\x81\x41" one whose
// trail byte is 'A'; "\xB8\xFC\xD0\xC2" is 更新.
TEST(ProfileText, FindsValuesAsTheSystemDoesButKeepsTheirBytes) {
  const std::string ini =
      "top=no section\r\n"
      " [ Update ]\r\n"  // blanks inside the brackets belong to the name
      "[UPDATE]\r\n"
      "  UpdateHost =  h\xB8\xFC\xD0\xC2:80  \r\n"
      "updatehost=second copy\r\n"
      "quoted=\"  a b  \"\r\n"
      "half='x\r\n"
      "single=''\r\n"
      "bare\r\n"
      "empty=\r\n"
      "[\x81\x5D]\r\n"
      "k=in the GBK section\r\n"
      "[\x81\x41]\r\n"
      "k=trail A\r\n"
      "[update]\r\n"
      "late=a second section of the same name is not searched\r\n"
      "[arp]\n"
      "context_path=api\n";
  const struct {
    const char* section;
    const char* key;
    bool found;
    std::string value;
  } cases[] = {
      {"update", "updatehost", true, "h\xB8\xFC\xD0\xC2:80"},
      {" update ", "UPDATEHOST ", true, "h\xB8\xFC\xD0\xC2:80"},
      {"update", "quoted", true, "  a b  "},
      {"update", "half", true, "'x"},
      {"update", "single", true, ""},
      {"update", "bare", true, ""},
      {"update", "empty", true, ""},
      {"update", "late", false, ""},
      {"update", "top", false, ""},
      {"\x81\x5D", "k", true, "in the GBK section"},
      {"\x81\x41", "k", true, "trail A"},
      {"\x81\x61", "k", false, ""},  // 'a' is not a folded 'A' inside a character
      {"arp", "context_path", true, "api"},
      {"arp", "missing", false, ""},
      {"nosuch", "k", false, ""},
  };
  for (const auto& c : cases) {
    std::string value;
    EXPECT_EQ(FindProfileValue(ini, c.section, c.key, &value), c.found) << c.section << "/" << c.key;
    if (c.found) {
      EXPECT_EQ(value, c.value) << c.section << "/" << c.key;
    }
  }
}

TEST(ProfileText, ByteOrderMarksAreDecodedToGbk) {
  const struct {
    std::string bytes;
    std::string gbk;
  } cases[] = {
      {"[a]\r\nk=\xB8\xFC\r\n", "[a]\r\nk=\xB8\xFC\r\n"},  // no mark: as it is
      {"\xEF\xBB\xBF[a]\nk=\xE6\x9B\xB4\n", "[a]\nk=\xB8\xFC\n\n"},
      {"\xEF\xBB\xBF[a]\nk=\xED\x95\x9C\nj=1", "[a]\n\nj=1\n"},  // Korean: the line is left out
      {std::string("\xFF\xFE[\0a\0]\0\n\0k\0=\0\xF4\x66", 16), "[a]\nk=\xB8\xFC\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProfileTextAsGbk(c.bytes), c.gbk);
}

TEST(ProfileText, CopiesWholeCharactersAndReadsIntegers) {
  char buffer[5];
  CopyProfileValue("abc\xB8\xFC", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "abc");  // the character that does not fit is left out whole
  CopyProfileValue("ab\xB8\xFC", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "ab\xB8\xFC");

  const struct {
    const char* text;
    unsigned value;
  } ints[] = {{"16666", 16666}, {"  +42x", 42}, {"-1", 0xFFFFFFFFu}, {"x1", 0}, {"", 6666}, {"4294967297", 1}};
  for (const auto& c : ints) EXPECT_EQ(ProfileInt(c.text, 6666), c.value) << c.text;
}

}  // namespace
