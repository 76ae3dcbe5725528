#include "report/http_get.h"

#include <wininet.h>

#include <string>

#include "base/handles.h"

namespace {

constexpr DWORD kTimeoutMs = 8000;
constexpr DWORD kConnectRetries = 2;
constexpr DWORD kChunkSize = 1023;
// Once the attempt's handles are closed, how long its thread may take to
// notice. A thread still blocked after that (WinINet under Wine does not
// wake a blocked read when its handle is closed) is left to end by itself.
constexpr DWORD kCancelGraceMs = 1000;
// Text transfer, and the response neither served from nor stored in the cache.
constexpr DWORD kOpenFlags = INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_DONT_CACHE;
static_assert(kOpenFlags == 0x04000001, "open flags of the setup report");

void SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
  (void)::InternetSetOptionExA(handle, option, &value, sizeof value, 0);  // defaults are fine if refused
}

// One attempt, shared by the caller and the thread that makes the request;
// the last of the two to let go frees it. The handles are set and closed
// under the lock, so that each is closed exactly once, by whichever side
// gets there first.
class Attempt {
 public:
  explicit Attempt(const char* url) : url_(url) { ::InitializeCriticalSection(&lock_); }
  Attempt(const Attempt&) = delete;
  Attempt& operator=(const Attempt&) = delete;

  void Release() {
    if (::InterlockedDecrement(&refs_) == 0) delete this;
  }

  static DWORD WINAPI Run(void* self) {
    Attempt* attempt = static_cast<Attempt*>(self);
    attempt->Request();
    attempt->CloseHandles();
    attempt->Release();
    return 0;
  }

  // The caller's side once the time is over: closing the handles ends the
  // WinINet call that blocks on them, and no later one is made.
  void GiveUp() {
    ::EnterCriticalSection(&lock_);
    givenUp_ = true;
    ::LeaveCriticalSection(&lock_);
    CloseHandles();
  }

  bool ok = false;
  int errorCode = 0;
  uint32_t bodyLength = 0;

 private:
  ~Attempt() { ::DeleteCriticalSection(&lock_); }

  // Keeps a handle the request has just made, unless the caller has given
  // up meanwhile; then it is closed at once and the request stops.
  bool Keep(HINTERNET* slot, HINTERNET handle) {
    ::EnterCriticalSection(&lock_);
    const bool keep = !givenUp_;
    if (keep) *slot = handle;
    ::LeaveCriticalSection(&lock_);
    if (!keep && handle != nullptr) ::InternetCloseHandle(handle);
    return keep;
  }

  void CloseHandles() {
    ::EnterCriticalSection(&lock_);
    HINTERNET request = request_, internet = internet_;
    request_ = internet_ = nullptr;
    ::LeaveCriticalSection(&lock_);
    if (request != nullptr) ::InternetCloseHandle(request);  // the response first
    if (internet != nullptr) ::InternetCloseHandle(internet);
  }

  void Request() {
    errorCode = kHttpErrorNoResponse;
    HINTERNET internet =
        ::InternetOpenA("Microsoft Internet Explorer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!Keep(&internet_, internet) || internet == nullptr) return;
    SetDwordOption(internet, INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMs);
    SetDwordOption(internet, INTERNET_OPTION_SEND_TIMEOUT, kTimeoutMs);
    SetDwordOption(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMs);
    SetDwordOption(internet, INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);

    HINTERNET request = ::InternetOpenUrlA(internet, url_.c_str(), nullptr, 0, kOpenFlags, 1);
    if (!Keep(&request_, request) || request == nullptr) return;

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                          nullptr)) {
      errorCode = kHttpErrorWinInet;
      return;
    }
    if (status >= 400) {
      errorCode = static_cast<int>(status);
      return;
    }

    // At most kHttpMaxAnswerBytes, then one byte more to see whether the
    // answer ends there.
    char chunk[kChunkSize];
    for (;;) {
      const DWORD room = bodyLength < kHttpMaxAnswerBytes ? kHttpMaxAnswerBytes - bodyLength : 1;
      DWORD read = 0;
      if (!::InternetReadFile(request, chunk, room < kChunkSize ? room : kChunkSize, &read)) {
        errorCode = kHttpErrorWinInet;
        return;
      }
      if (read == 0) break;
      if (bodyLength >= kHttpMaxAnswerBytes) {
        errorCode = kHttpErrorTooLong;
        return;
      }
      bodyLength += read;
    }
    errorCode = 0;
    ok = true;
  }

  LONG refs_ = 2;  // the caller and the request's thread
  std::string url_;
  CRITICAL_SECTION lock_;
  bool givenUp_ = false;
  HINTERNET internet_ = nullptr;
  HINTERNET request_ = nullptr;
};

}  // namespace

bool HttpGet(const char* url, int& errorCode, uint32_t& bodyLength, DWORD attemptMs) {
  bodyLength = 0;
  Attempt* attempt = new Attempt(url);
  UniqueHandle thread(::CreateThread(nullptr, 0, &Attempt::Run, attempt, 0, nullptr));
  if (!thread) {
    Attempt::Run(attempt);  // no thread to spare: the request without a time bound
  } else if (::WaitForSingleObject(thread.get(), attemptMs) != WAIT_OBJECT_0) {
    attempt->GiveUp();
    (void)::WaitForSingleObject(thread.get(), kCancelGraceMs);  // a thread still blocked ends on its own
    errorCode = kHttpErrorTimedOut;
    attempt->Release();
    return false;
  }
  errorCode = attempt->errorCode;
  bodyLength = attempt->bodyLength;
  const bool ok = attempt->ok;
  attempt->Release();
  return ok;
}
