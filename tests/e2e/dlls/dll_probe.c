/* Imports IPHLPAPI the ordinary way, as the installer did before its DLLs
   were confined to the system folder: a planted iphlpapi.dll beside it is
   loaded. Prints what GetAdaptersInfo answered. */
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <stdio.h>

int main(void) {
  ULONG size = 0;
  printf("%lu\n", (unsigned long)GetAdaptersInfo(NULL, &size));
  return 0;
}
