// The install log message, byte for byte as the log server reads it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "report/install_log_message.h"

namespace {

void Word(PackBytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Descriptor(PackBytes& out, uint32_t typeAndLength, uint32_t id) {
  Word(out, typeAndLength);
  Word(out, 0);
  Word(out, id);
  Word(out, 0);
}
void Field(PackBytes& out, const void* bytes) {
  const auto* b = static_cast<const uint8_t*>(bytes);
  out.insert(out.end(), b, b + 32);
}

// The message written out from its documented layout, independently of CPack.
PackBytes ExpectedMessage(const uint8_t* version, const char* ip, const char* identity) {
  PackBytes m = {'q', 'l', 'x', '2', '0', '1', '5', 0};
  Word(m, 0), Word(m, 0), Word(m, 0), Word(m, 236), Word(m, 0);
  Word(m, 188), Word(m, 1), Word(m, 2), Word(m, 0);
  Descriptor(m, 0x00000708, 100000);
  Descriptor(m, 0x00002801, 100001);
  for (uint32_t w : {1u, 0u, 0x80000000u, 0u, 1000004u, 0u, 0u}) Word(m, w);
  Word(m, 96), Word(m, 1), Word(m, 3), Word(m, 0);
  Descriptor(m, 0x00000802, 700000002);
  Descriptor(m, 0x00000802, 700000003);
  Descriptor(m, 0x00000802, 700000005);
  Field(m, version);
  Field(m, ip);
  Field(m, identity);
  return m;
}

TEST(InstallLogMessage, MatchesTheLayoutByteForByte) {
  uint8_t version[32] = {'1', '.', '4', '.', '3'};
  char ip[32] = "192.168.1.20";
  char identity[32] = "00AB12CD34EF";
  const PackBytes message = BuildInstallLogMessage(version, ip, identity);
  ASSERT_EQ(message.size(), 264u);
  EXPECT_EQ(message, ExpectedMessage(version, ip, identity));
  // Fields sit at their documented body offsets (header is 28 bytes).
  EXPECT_EQ(std::memcmp(message.data() + 28 + 140, "1.4.3\0", 6), 0);
  EXPECT_EQ(std::memcmp(message.data() + 28 + 172, "192.168.1.20\0", 13), 0);
  EXPECT_EQ(std::memcmp(message.data() + 28 + 204, "00AB12CD34EF\0", 13), 0);
}

TEST(InstallLogMessage, FieldsAreCopiedRawWhateverTheyHold) {
  // A full 32-byte version with no terminator, an unused IP, an empty identity.
  uint8_t version[32];
  for (int i = 0; i < 32; ++i) version[i] = static_cast<uint8_t>(0xA0 + i);
  char ip[32] = "0.0.0.0";
  char identity[32] = {};
  const PackBytes message = BuildInstallLogMessage(version, ip, identity);
  EXPECT_EQ(message, ExpectedMessage(version, ip, identity));
  EXPECT_EQ(BuildInstallLogBody(version, ip, identity), PackBytes(message.begin() + 28, message.end()));
}

}  // namespace
