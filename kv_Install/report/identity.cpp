#include "report/identity.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "report/http_get.h"
#include "report/machine_address.h"
#include "report/settings.h"
#include "report/setup_url.h"

#ifndef KV_DEFAULT_UPDATE_HOST
#error "KV_DEFAULT_UPDATE_HOST names the built-in update host (set by the build)"
#endif

namespace {
const char kLocalConfig[] = ".\\config.ini";  // beside the installer, in the current directory
}  // namespace

void ReportIdentity::Load() {
  // The values' bytes as the file holds them (GBK), on any system code page.
  ReadProfileString(kLocalConfig, "update", "updatehost", KV_DEFAULT_UPDATE_HOST, updateHost, sizeof updateHost);
  ReadProfileString(kLocalConfig, "arp", "context_path", "", contextPath, sizeof contextPath);
  // One "/" after a non-empty path, even if it already ends in one. A path
  // that fills the buffer gets none; its URL would be too long to send anyway.
  const size_t pathLength = std::strlen(contextPath);
  if (pathLength != 0 && pathLength + 1 < sizeof contextPath) {
    contextPath[pathLength] = '/';
    contextPath[pathLength + 1] = '\0';
  }
  LookupMachineAddress(clientIdentity, deviceIp);
  clientType = 4;
}

std::string ReportIdentity::SendLoggingSetup(int userNumber, const char* downloadSource) const {
  char url[kSetupUrlSize] = {};
  const SetupUrlValues values = {updateHost, contextPath, clientIdentity, clientType,
                                 deviceIp,   userNumber,  downloadSource};
  // Settings too long for a URL: no report rather than a wrong one.
  if (!BuildSetupUrl(values, url)) return "not sent: the settings make too long a URL";

  int errorCode = 0;
  uint32_t bodyLength = 0;
  if (HttpGet(url, errorCode, bodyLength)) return std::string("sent to ") + updateHost;
  // One more try; its answer is not used.
  const int firstError = errorCode;
  char what[96];
  if (HttpGet(url, errorCode, bodyLength)) {
    (void)std::snprintf(what, sizeof what, "sent to %.40s on the second try (the first: error %d)", updateHost, firstError);
  } else {
    (void)std::snprintf(what, sizeof what, "not sent to %.40s: error %d, then %d", updateHost, firstError, errorCode);
  }
  return what;
}
