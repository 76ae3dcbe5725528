#include "report/setup_url.h"

#include <cstdio>

bool BuildSetupUrl(const SetupUrlValues& values, char (&url)[kSetupUrlSize]) {
  char userNumberText[32] = {};
  if (values.userNumber != 0) std::snprintf(userNumberText, sizeof userNumberText, "%d", values.userNumber);

  const int length = std::snprintf(
      url, sizeof url,
      "http://%s/%sclient/loggingSetup?clientIdentity=%s&clientType=%d&deviceIp=%s&kcUserNo=%s"
      "&currentVersion=%s&downloadSource=%s",
      values.updateHost, values.contextPath, values.clientIdentity, values.clientType, values.deviceIp,
      userNumberText, "1.0", values.downloadSource);
  if (length < 0 || static_cast<size_t>(length) >= sizeof url) {
    url[0] = '\0';
    return false;
  }
  return true;
}
