#include "report/http_get.h"

#include <cstring>

#include "framework/handles.h"

namespace {

constexpr DWORD kTimeoutMs = 8000;
constexpr DWORD kConnectRetries = 2;
constexpr DWORD kChunkSize = 1023;
// Text transfer, and the response neither served from nor stored in the cache.
constexpr DWORD kOpenFlags = INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_DONT_CACHE;
static_assert(kOpenFlags == 0x04000001, "open flags of the setup report");

void SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
  (void)::InternetSetOptionExA(handle, option, &value, sizeof value, 0);  // defaults are fine if refused
}

}  // namespace

bool HttpGet(const char* url, int& errorCode, std::string& response) {
  UniqueInternet internet(::InternetOpenA("Microsoft Internet Explorer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                          nullptr, 0));
  SetDwordOption(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMs);
  SetDwordOption(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, kTimeoutMs);
  SetDwordOption(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMs);
  SetDwordOption(internet.get(), INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);

  // Declared after `internet` so the response is closed first.
  UniqueInternet request(::InternetOpenUrlA(internet.get(), url, nullptr, 0, kOpenFlags, 1));
  if (!request) {
    errorCode = kHttpErrorNoResponse;
    return false;
  }

  DWORD status = 0;
  DWORD statusSize = sizeof status;
  if (!::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                        nullptr)) {
    errorCode = kHttpErrorWinInet;
    return false;
  }
  if (status >= 400) {
    errorCode = static_cast<int>(status);
    return false;
  }

  char chunk[kChunkSize + 1] = {};
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), chunk, kChunkSize, &read)) {
      errorCode = kHttpErrorWinInet;
      return false;
    }
    if (read == 0) break;
    chunk[read] = '\0';
    response += chunk;  // as text: a 0x00 in the chunk ends its contribution
    std::memset(chunk, 0, sizeof chunk);
  }
  return true;
}
