#include "report/adapter_select.h"

#include <cstdio>

void SelectMachineAddress(const std::vector<Adapter>& adapters, char (&clientIdentity)[kMachineTextSize],
                          char (&deviceIp)[kMachineTextSize]) {
  for (const Adapter& adapter : adapters) {
    if (adapter.addressLength != 6) continue;
    const uint8_t* b = adapter.bytes;
    std::snprintf(clientIdentity, sizeof clientIdentity, "%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4],
                  b[5]);
    for (const std::string& ip : adapter.ipAddresses) {
      std::snprintf(deviceIp, sizeof deviceIp, "%s", ip.c_str());
      if (ip != "0.0.0.0") return;
    }
  }
}
