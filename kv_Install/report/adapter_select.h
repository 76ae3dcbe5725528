// Which network adapter identifies this machine in the install reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kMachineTextSize = 32;

// One adapter as the system lists it.
struct Adapter {
  uint32_t addressLength = 0;          // bytes of `bytes` in use; only 6 counts
  uint8_t bytes[8] = {};               // hardware address
  std::vector<std::string> ipAddresses;  // IPv4 addresses as dotted text, in the system's order
};

// Walks the adapters in order and stops at the first 6-byte adapter with an
// IPv4 address other than "0.0.0.0": its address as 12 uppercase hex digits
// goes to clientIdentity, the dotted text to deviceIp. When none qualifies
// the outputs hold the last values seen (the last 6-byte adapter and
// "0.0.0.0"); with no 6-byte adapter they are left as they were.
void SelectMachineAddress(const std::vector<Adapter>& adapters, char (&clientIdentity)[kMachineTextSize],
                          char (&deviceIp)[kMachineTextSize]);
