#include "report/install_log_message.h"

#include <cstring>

namespace {

// The command the log server files an installation under.
constexpr PackRecord kInstallCommand = {1, 0, 0x80000000u, 0, 1000004, 0, 0};

}  // namespace

std::array<uint8_t, kLogHeaderSize> BuildLogHeader(int32_t bodyLength) {
  std::array<uint8_t, kLogHeaderSize> header{};
  std::memcpy(header.data(), "qlx2015", 8);  // with its terminating 0x00
  const uint32_t length = static_cast<uint32_t>(bodyLength);
  header[20] = static_cast<uint8_t>(length);
  header[21] = static_cast<uint8_t>(length >> 8);
  header[22] = static_cast<uint8_t>(length >> 16);
  header[23] = static_cast<uint8_t>(length >> 24);
  return header;
}

PackBytes BuildInstallLogBody(const uint8_t (&version)[kLogFieldSize], const char (&deviceIp)[kLogFieldSize],
                              const char (&clientIdentity)[kLogFieldSize]) {
  // With these fixed sizes none of the pack operations can fail.
  CPack details;
  (void)details.PutBytes(version, kLogFieldSize, kLogVersionId, 0);
  (void)details.PutBytes(deviceIp, kLogFieldSize, kLogDeviceIpId, 0);
  (void)details.PutBytes(clientIdentity, kLogFieldSize, kLogClientIdentityId, 0);

  CPack message;
  (void)message.PutRecord(kLogCommandId, 0, kInstallCommand);
  (void)message.PutPack(0, kLogDetailsId, details);

  PackBytes body;
  (void)message.GetAllPackData(body);
  return body;
}

PackBytes BuildInstallLogMessage(const uint8_t (&version)[kLogFieldSize], const char (&deviceIp)[kLogFieldSize],
                                 const char (&clientIdentity)[kLogFieldSize]) {
  const PackBytes body = BuildInstallLogBody(version, deviceIp, clientIdentity);
  const auto header = BuildLogHeader(static_cast<int32_t>(body.size()));
  PackBytes message(header.size() + body.size());
  std::memcpy(message.data(), header.data(), header.size());
  std::memcpy(message.data() + header.size(), body.data(), body.size());
  return message;
}
