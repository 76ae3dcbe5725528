// The bytes of the TCP install log: a 28-byte header and a pack body that
// carries the installed version, the device IP and the adapter address.
#pragma once

#include <array>
#include <cstdint>

#include "report/pack.h"

constexpr int kLogHeaderSize = 28;
constexpr int kLogFieldSize = 32;

// Field ids the log server reads.
constexpr int32_t kLogCommandId = 100000;
constexpr int32_t kLogDetailsId = 100001;
constexpr int32_t kLogVersionId = 700000002;
constexpr int32_t kLogDeviceIpId = 700000003;
constexpr int32_t kLogClientIdentityId = 700000005;

// "qlx2015\0", zeros, and the body length at offset 20.
std::array<uint8_t, kLogHeaderSize> BuildLogHeader(int32_t bodyLength);

// The 236-byte body: an outer pack with the command record and, nested, a pack
// of the three 32-byte fields, copied as they are (no terminator is added or
// checked).
PackBytes BuildInstallLogBody(const uint8_t (&version)[kLogFieldSize], const char (&deviceIp)[kLogFieldSize],
                              const char (&clientIdentity)[kLogFieldSize]);

// Header and body together, 264 bytes.
PackBytes BuildInstallLogMessage(const uint8_t (&version)[kLogFieldSize], const char (&deviceIp)[kLogFieldSize],
                                 const char (&clientIdentity)[kLogFieldSize]);
