// The machine's adapter address and IPv4 address, as the reports send them.
#pragma once

#include "report/adapter_select.h"

// Asks the system for its adapters and fills both 32-byte texts by
// SelectMachineAddress. When the system call fails they are left as they were.
void LookupMachineAddress(char (&clientIdentity)[kMachineTextSize], char (&deviceIp)[kMachineTextSize]);
