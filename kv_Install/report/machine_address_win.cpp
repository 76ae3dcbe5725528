#include "report/machine_address.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// One adapter record, the size the first call is offered.
constexpr ULONG kFirstBufferSize = 648;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

std::vector<Adapter> ToAdapters(const IP_ADAPTER_INFO* info) {
  std::vector<Adapter> adapters;
  for (; info != nullptr; info = info->Next) {
    Adapter adapter;
    adapter.addressLength = info->AddressLength;
    std::memcpy(adapter.bytes, info->Address, sizeof adapter.bytes);
    for (const IP_ADDR_STRING* ip = &info->IpAddressList; ip != nullptr; ip = ip->Next) {
      const char* text = ip->IpAddress.String;
      adapter.ipAddresses.emplace_back(text, strnlen(text, sizeof ip->IpAddress.String));
    }
    adapters.push_back(std::move(adapter));
  }
  return adapters;
}

}  // namespace

void LookupMachineAddress(char (&clientIdentity)[kMachineTextSize], char (&deviceIp)[kMachineTextSize]) {
  ULONG size = kFirstBufferSize;
  std::unique_ptr<void, FreeDeleter> buffer(std::malloc(size));
  if (!buffer) return;
  if (::GetAdaptersInfo(static_cast<IP_ADAPTER_INFO*>(buffer.get()), &size) == ERROR_BUFFER_OVERFLOW) {
    buffer.reset(std::malloc(size));
    if (!buffer) return;
  }
  // Asked again in every case: after an overflow this call receives them all.
  if (::GetAdaptersInfo(static_cast<IP_ADAPTER_INFO*>(buffer.get()), &size) != ERROR_SUCCESS) return;
  SelectMachineAddress(ToAdapters(static_cast<const IP_ADAPTER_INFO*>(buffer.get())), clientIdentity, deviceIp);
}
