// The URL of the HTTP setup report ("loggingSetup").
#pragma once

#include <cstddef>

constexpr size_t kSetupUrlSize = 512;

struct SetupUrlValues {
  const char* updateHost;      // host[:port]
  const char* contextPath;     // empty, or ending in "/"
  const char* clientIdentity;  // 12 hex digits
  int clientType;
  const char* deviceIp;
  int userNumber;              // 0 sends an empty kcUserNo
  const char* downloadSource;
};

// Formats
//   http://HOST/PATHclient/loggingSetup?clientIdentity=..&clientType=..&deviceIp=..
//     &kcUserNo=..&currentVersion=1.0&downloadSource=..
// into url (kSetupUrlSize bytes). The values go in as they are, unescaped:
// the update server reads them that way. A URL longer than 511 characters is
// never sent cut short: the result is false and url is left empty.
bool BuildSetupUrl(const SetupUrlValues& values, char (&url)[kSetupUrlSize]);
