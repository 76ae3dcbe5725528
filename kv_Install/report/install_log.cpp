#include "report/install_log.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/wide.h"
#include "report/install_log_message.h"
#include "report/settings.h"

#ifndef KV_DEFAULT_LOG_SERVER
#error "KV_DEFAULT_LOG_SERVER names the built-in log server (set by the build)"
#endif

namespace {

constexpr int kDefaultLogPort = 6666;
// The same bound as the HTTP report's connect.
constexpr DWORD kConnectTimeoutMs = 8000;
constexpr size_t kPathSize = 512;

struct SocketTraits {
  static SOCKET Empty() { return INVALID_SOCKET; }
  static bool IsValid(SOCKET s) { return s != INVALID_SOCKET; }
  static void Close(SOCKET s) { (void)::closesocket(s); }
};
using UniqueSocket = UniqueAny<SOCKET, SocketTraits>;

// installDir\name into path; false when it does not fit.
bool JoinPath(char (&path)[kPathSize], const char* installDir, const char* name) {
  const int length = std::snprintf(path, sizeof path, "%s\\%s", installDir, name);
  return length >= 0 && static_cast<size_t>(length) < sizeof path;
}

// Connects within timeoutMs. A log server that never completes the
// handshake (a full listen queue, a dropped SYN) would otherwise hold the
// install for the system's own time-out, about 21 s on Windows and two
// minutes under Wine. Sends then block again, for at most as long.
bool ConnectWithin(SOCKET socket, const sockaddr_in& address, DWORD timeoutMs) {
  u_long nonBlocking = 1;
  if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) return false;
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    const int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == 0) ::WSASetLastError(WSAETIMEDOUT);
    if (ready <= 0) return false;
    // Refused or unreachable: the connect's own error, for whoever says why.
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) return false;
    if (error != 0 || FD_ISSET(socket, &failed)) {
      ::WSASetLastError(error != 0 ? error : WSAECONNREFUSED);
      return false;
    }
  }
  u_long blocking = 0;
  if (::ioctlsocket(socket, FIONBIO, &blocking) != 0) return false;
  const DWORD sendTimeout = timeoutMs;
  (void)::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout),
                     sizeof sendTimeout);  // 264 bytes fit any send buffer anyway
  return true;
}

}  // namespace

void ReadInstalledVersion(const char* installDir, uint8_t (&version)[kLogFieldSize]) {
  char path[kPathSize];
  if (!JoinPath(path, installDir, "version.data")) return;
  // The folder may hold characters the system's code page has not: the
  // file is opened by its wide name.
  std::u16string widePath;
  if (!GbkToUtf16(path, &widePath)) return;
  UniqueHandle file(::CreateFileW(WStr(widePath), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
  if (!file) return;
  // A short file's bytes are kept and the rest stays zero.
  DWORD read = 0;
  for (DWORD total = 0; total < sizeof version; total += read) {
    if (!::ReadFile(file.get(), version + total, sizeof version - total, &read, nullptr) || read == 0) return;
  }
}

std::string SendInstallLog(const ReportIdentity& identity, const char* installDir) {
  // A folder too long for the path leaves the settings at their defaults,
  // as a missing config.ini would.
  UINT port = kDefaultLogPort;
  char server[32] = {};
  char configPath[kPathSize];
  if (JoinPath(configPath, installDir, "config.ini")) {
    port = ReadProfileInt(configPath, "log", "port", kDefaultLogPort);
    ReadProfileString(configPath, "log", "ip", KV_DEFAULT_LOG_SERVER, server, sizeof server);
  } else {
    std::snprintf(server, sizeof server, "%s", KV_DEFAULT_LOG_SERVER);
  }

  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<u_short>(port));  // a port above 65535 keeps its low 16 bits
  address.sin_addr.s_addr = ::inet_addr(server);
  // Not a dotted IPv4 address: nowhere to send.
  if (address.sin_addr.s_addr == INADDR_NONE) return std::string("not sent: the log server \"") + server + "\" is no IPv4 address";

  char where[48];
  (void)std::snprintf(where, sizeof where, "%s:%u", server, port & 0xFFFF);
  // The socket is closed on every way out.
  UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket || !ConnectWithin(socket.get(), address, kConnectTimeoutMs)) {
    char why[96];
    (void)std::snprintf(why, sizeof why, "not sent: no connection to %s (error %d)", where, ::WSAGetLastError());
    return why;
  }

  uint8_t version[kLogFieldSize] = {};
  ReadInstalledVersion(installDir, version);
  const PackBytes message = BuildInstallLogMessage(version, identity.deviceIp, identity.clientIdentity);
  // Header, then body; the log server sends nothing back and a short send is
  // not continued.
  const char* bytes = reinterpret_cast<const char*>(message.data());
  const int header = ::send(socket.get(), bytes, kLogHeaderSize, 0);
  const int body = ::send(socket.get(), bytes + kLogHeaderSize, static_cast<int>(message.size()) - kLogHeaderSize, 0);
  char what[96];
  if (header + body == static_cast<int>(message.size())) {
    (void)std::snprintf(what, sizeof what, "sent to %s", where);
  } else {
    (void)std::snprintf(what, sizeof what, "not sent whole to %s (error %d)", where, ::WSAGetLastError());
  }
  return what;
}
