// A one-thread loopback server for the report tests: accepts connections on
// 127.0.0.1 one after another, records what each one sent and answers from a
// script. HTTP mode reads up to the blank line after the headers; raw mode
// reads until the peer closes. Windows' own threads and locks: the toolchain's
// win32 thread model has no std::thread.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

class LoopbackServer {
 public:
  enum Mode { kHttp, kRaw };

  // Answers the n-th connection with answers[n] (the last one repeats).
  // With holdOpen the connection then stays open until the peer closes it
  // (or 3 s of silence).
  LoopbackServer(Mode mode, std::vector<std::string> answers, bool holdOpen = false)
      : mode_(mode), answers_(std::move(answers)), holdOpen_(holdOpen) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    int size = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ::ntohs(address.sin_port);
    ::InitializeCriticalSection(&lock_);
    ::InitializeConditionVariable(&changed_);
    thread_ = ::CreateThread(nullptr, 0, &LoopbackServer::Run, this, 0, nullptr);
  }

  ~LoopbackServer() {
    ::closesocket(listener_);  // ends the accept loop
    if (thread_ != nullptr) {
      ::WaitForSingleObject(thread_, INFINITE);
      ::CloseHandle(thread_);
    }
    ::DeleteCriticalSection(&lock_);
  }

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }

  // What the connections sent so far, once at least `count` have ended or
  // the wait is over.
  std::vector<std::string> WaitFor(size_t count, int milliseconds = 5000) {
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    ::EnterCriticalSection(&lock_);
    for (ULONGLONG now = ::GetTickCount64(); received_.size() < count && now < deadline; now = ::GetTickCount64()) {
      ::SleepConditionVariableCS(&changed_, &lock_, static_cast<DWORD>(deadline - now));
    }
    std::vector<std::string> out = received_;
    ::LeaveCriticalSection(&lock_);
    return out;
  }

  // What has been received so far, without waiting.
  std::vector<std::string> Received() { return WaitFor(0, 0); }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<LoopbackServer*>(self)->Serve();
    return 0;
  }

  void Serve() {
    for (size_t n = 0;; ++n) {
      SOCKET peer = ::accept(listener_, nullptr, nullptr);
      if (peer == INVALID_SOCKET) return;
      std::string data;
      char chunk[4096];
      for (;;) {
        if (mode_ == kHttp && data.find("\r\n\r\n") != std::string::npos) break;
        const int got = ::recv(peer, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        data.append(chunk, static_cast<size_t>(got));
      }
      if (!answers_.empty()) {
        const std::string& answer = answers_[n < answers_.size() ? n : answers_.size() - 1];
        ::send(peer, answer.data(), static_cast<int>(answer.size()), 0);
      }
      if (holdOpen_) {
        // Not for ever: a peer that gives up may leave its socket open
        // (WinINet under Wine does), and the destructor waits for this.
        const DWORD limit = 3000;
        ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
        while (::recv(peer, chunk, sizeof chunk, 0) > 0) {
        }
      }
      ::shutdown(peer, SD_SEND);
      ::closesocket(peer);
      ::EnterCriticalSection(&lock_);
      received_.push_back(data);
      ::LeaveCriticalSection(&lock_);
      ::WakeAllConditionVariable(&changed_);
    }
  }

  Mode mode_;
  std::vector<std::string> answers_;
  bool holdOpen_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  CONDITION_VARIABLE changed_;
  std::vector<std::string> received_;
};

// An HTTP/1.1 answer with this status and body, closing the connection.
inline std::string HttpAnswer(int status, const std::string& body) {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}
