// The Windows side of the reports: the registry user number, the identity
// from .\config.ini, the WinINet GET and both reports against loopback
// servers started here.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "loopback_server.h"
#include "report/http_get.h"
#include "report/identity.h"
#include "report/install_log.h"
#include "report/install_log_message.h"
#include "report/settings.h"

namespace {

// The installer starts Winsock on its progress page; the tests do it once.
const int kWinsockStarted = [] {
  WSADATA data;
  return ::WSAStartup(MAKEWORD(2, 2), &data);
}();

const char kUserKey[] = "Software\\KV\\ORBEN";

void SetUserNumber(const void* data, DWORD size, DWORD type = REG_SZ) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kUserKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExA(key, "kcno", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void SetUserNumberText(const std::string& text) {
  SetUserNumber(text.c_str(), static_cast<DWORD>(text.size() + 1));
}

TEST(ReadUserNumberText, ReadsTheRegistryValueAsText) {
  ::RegDeleteKeyA(HKEY_CURRENT_USER, kUserKey);
  char buffer[512];
  std::memset(buffer, 'M', sizeof buffer);
  EXPECT_FALSE(ReadUserNumberText(buffer));  // no key
  EXPECT_EQ(buffer[0], 'M');

  for (const std::string text : {"0", "", "345", "12ab", " -7"}) {
    SetUserNumberText(text);
    char value[512] = {};
    EXPECT_TRUE(ReadUserNumberText(value)) << text;
    EXPECT_EQ(std::string(value), text);
  }

  // Only text is a user number: a value of another type is not read (its
  // bytes are no text) and leaves the buffer as it was. Text that is kept
  // without its NUL still reads whole.
  const DWORD number = 0x00333231;
  const struct {
    const void* data;
    DWORD size;
    DWORD type;
  } others[] = {{&number, sizeof number, REG_DWORD}, {"123", 3, REG_BINARY}, {"1\0\0", 3, REG_MULTI_SZ}};
  for (const auto& other : others) {
    SetUserNumber(other.data, other.size, other.type);
    std::memset(buffer, 'M', sizeof buffer);
    EXPECT_FALSE(ReadUserNumberText(buffer)) << other.type;
    EXPECT_EQ(buffer[0], 'M') << other.type;
  }
  SetUserNumber("77", 2, REG_EXPAND_SZ);
  char unterminated[512] = {};
  EXPECT_TRUE(ReadUserNumberText(unterminated));
  EXPECT_STREQ(unterminated, "77");

  // 260 bytes are taken; 300 are refused and leave the buffer as it was.
  SetUserNumberText(std::string(259, '9'));
  char fits[512] = {};
  EXPECT_TRUE(ReadUserNumberText(fits));
  EXPECT_EQ(std::strlen(fits), 259u);
  SetUserNumberText(std::string(299, '8'));
  std::memset(buffer, 'M', sizeof buffer);
  EXPECT_FALSE(ReadUserNumberText(buffer));
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'M'));

  // The value missing from an existing key.
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kUserKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  ::RegDeleteValueA(key, "kcno");
  ::RegCloseKey(key);
  EXPECT_FALSE(ReadUserNumberText(buffer));
  ::RegDeleteKeyA(HKEY_CURRENT_USER, kUserKey);
}

// A scratch folder that is the current directory for the test's duration.
class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    ::GetCurrentDirectoryA(sizeof previous_, previous_);
    folder_ = std::string(temp) + "kvreport" + std::to_string(::GetCurrentProcessId()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ::CreateDirectoryA(folder_.c_str(), nullptr);
    ASSERT_TRUE(::SetCurrentDirectoryA(folder_.c_str()));
  }
  void TearDown() override {
    ::SetCurrentDirectoryA(previous_);
    for (const char* name : {"config.ini", "version.data"}) ::DeleteFileA((folder_ + "\\" + name).c_str());
    ::RemoveDirectoryA(folder_.c_str());
  }
  void Write(const char* name, const std::string& text) {
    std::ofstream((folder_ + "\\" + name).c_str(), std::ios::binary) << text;
  }
  void Remove(const char* name) { ::DeleteFileA((folder_ + "\\" + name).c_str()); }

  std::string folder_;
  char previous_[MAX_PATH] = {};
};

using Identity = ScratchFolder;

TEST_F(Identity, FromTheCurrentFoldersConfig) {
  ReportIdentity none;
  none.Load();
  EXPECT_STREQ(none.updateHost, "127.0.0.1:18080");
  EXPECT_STREQ(none.contextPath, "");
  EXPECT_EQ(none.clientType, 4);
  // Whatever adapters the machine has: 12 uppercase hex digits (or nothing).
  const std::string identity = none.clientIdentity;
  EXPECT_TRUE(identity.empty() || identity.size() == 12) << identity;
  EXPECT_EQ(identity.find_first_not_of("0123456789ABCDEF"), std::string::npos) << identity;

  const struct {
    const char* config;
    const char* host;
    const char* path;
  } cases[] = {
      {"[update]\r\nupdatehost=127.0.0.1:5000\r\n[arp]\r\ncontext_path=api\r\n", "127.0.0.1:5000", "api/"},
      {"[arp]\r\ncontext_path=api/\r\n", "127.0.0.1:18080", "api//"},
      {"[update]\r\nupdatehost=h\r\n[arp]\r\ncontext_path=\r\n", "h", ""},
      // GBK bytes go through as the file holds them, on any code page; a
      // UTF-8 file with its mark is read as UTF-8.
      {"[update]\r\nupdatehost=\"h\xB8\xFC:1\"\r\n[arp]\r\ncontext_path=\xD0\xC2\r\n", "h\xB8\xFC:1", "\xD0\xC2/"},
      {"\xEF\xBB\xBF[update]\r\nupdatehost=h\xE6\x9B\xB4\r\n", "h\xB8\xFC", ""},
  };
  for (const auto& c : cases) {
    Write("config.ini", c.config);
    ReportIdentity loaded;
    loaded.Load();
    EXPECT_STREQ(loaded.updateHost, c.host) << c.config;
    EXPECT_STREQ(loaded.contextPath, c.path) << c.config;
    EXPECT_STREQ(loaded.clientIdentity, none.clientIdentity);
    EXPECT_STREQ(loaded.deviceIp, none.deviceIp);
  }

  // A path that fills its buffer gets no "/" and nothing runs over.
  Write("config.ini", "[arp]\r\ncontext_path=" + std::string(600, 'p') + "\r\n");
  ReportIdentity longPath;
  longPath.Load();
  EXPECT_EQ(std::string(longPath.contextPath), std::string(511, 'p'));
}

TEST(HttpGet, ReadsTheWholeBodyAndReportsStatuses) {
  std::string body;
  for (int i = 0; i < 300; ++i) body += "line " + std::to_string(i) + "\n";  // several 1023-byte chunks
  LoopbackServer server(LoopbackServer::kHttp, {HttpAnswer(200, body), HttpAnswer(404, "no"),
                                                HttpAnswer(200, std::string("ab\0cd", 5))});
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/p/client/x?a=1&b=";

  int error = 0;
  uint32_t length = 0;
  EXPECT_TRUE(HttpGet(url.c_str(), error, length));
  EXPECT_EQ(length, body.size());

  EXPECT_FALSE(HttpGet(url.c_str(), error, length));
  EXPECT_EQ(error, 404);

  EXPECT_TRUE(HttpGet(url.c_str(), error, length));
  EXPECT_EQ(length, 5u);  // a 0x00 is a byte like any other: nothing is kept as text

  const auto requests = server.WaitFor(3);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /p/client/x?a=1&b= HTTP/1.1");
  EXPECT_NE(requests[0].find("User-Agent: Microsoft Internet Explorer\r\n"), std::string::npos) << requests[0];
}

TEST(HttpGet, NoServerIsNoResponse) {
  int port = 0;
  {
    LoopbackServer closed(LoopbackServer::kHttp, {});
    port = closed.port();
  }
  int error = 0;
  uint32_t length = 0;
  EXPECT_FALSE(HttpGet(("http://127.0.0.1:" + std::to_string(port) + "/x").c_str(), error, length));
  EXPECT_EQ(error, kHttpErrorNoResponse);
}

// Answers that would hold the install: a body that goes on past 64 KiB is
// given up once that much has been read; one that trickles, once the
// attempt's time is over (2 s here; the installer allows 20).
TEST(HttpGet, GivesUpLongAndSlowAnswers) {
  int error = 0;
  uint32_t length = 0;
  {
    LoopbackServer fits(LoopbackServer::kHttp, {HttpAnswer(200, std::string(kHttpMaxAnswerBytes, 'a'))});
    EXPECT_TRUE(HttpGet(("http://127.0.0.1:" + std::to_string(fits.port()) + "/").c_str(), error, length));
    EXPECT_EQ(length, kHttpMaxAnswerBytes);
  }
  {
    LoopbackServer tooLong(LoopbackServer::kHttp, {HttpAnswer(200, std::string(kHttpMaxAnswerBytes + 1, 'a'))});
    EXPECT_FALSE(HttpGet(("http://127.0.0.1:" + std::to_string(tooLong.port()) + "/").c_str(), error, length));
    EXPECT_EQ(error, kHttpErrorTooLong);
    EXPECT_EQ(length, kHttpMaxAnswerBytes);
  }
  // Headers that promise a body which never comes: the receive time-out
  // would not end it before 8 s.
  LoopbackServer silent(LoopbackServer::kHttp, {"HTTP/1.1 200 X\r\nContent-Length: 10\r\n\r\nab"}, true);
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(HttpGet(("http://127.0.0.1:" + std::to_string(silent.port()) + "/").c_str(), error, length, 2000));
  EXPECT_EQ(error, kHttpErrorTimedOut);
  const DWORD took = ::GetTickCount() - start;
  EXPECT_GE(took, 2000u);
  EXPECT_LT(took, 2000u + 1500u);  // the deadline and the thread's grace
}

ReportIdentity TestIdentity(int port) {
  ReportIdentity identity;
  std::snprintf(identity.updateHost, sizeof identity.updateHost, "127.0.0.1:%d", port);
  std::strcpy(identity.contextPath, "api/");
  std::strcpy(identity.clientIdentity, "00AB12CD34EF");
  std::strcpy(identity.deviceIp, "10.1.2.3");
  return identity;
}

TEST(SendLoggingSetup, RetriesOnceAfterAFailure) {
  LoopbackServer failing(LoopbackServer::kHttp, {HttpAnswer(500, "busy"), HttpAnswer(200, "")});
  TestIdentity(failing.port()).SendLoggingSetup(0, "src a&b");
  const auto requests = failing.WaitFor(2);
  ASSERT_EQ(requests.size(), 2u);
  // The URL goes to WinINet unescaped; WinINet itself writes the space as
  // %20 on the request line (a bare space would end the request target).
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET /api/client/loggingSetup?clientIdentity=00AB12CD34EF&clientType=4&deviceIp=10.1.2.3"
            "&kcUserNo=&currentVersion=1.0&downloadSource=src%20a&b HTTP/1.1");
  EXPECT_EQ(requests[1], requests[0]);

  LoopbackServer fine(LoopbackServer::kHttp, {HttpAnswer(200, "ok")});
  TestIdentity(fine.port()).SendLoggingSetup(345, "kvpc012");
  ::Sleep(300);  // a wrong retry would arrive at once
  const auto once = fine.Received();
  ASSERT_EQ(once.size(), 1u);
  EXPECT_NE(once[0].find("&kcUserNo=345&"), std::string::npos);
}

using InstallLog = ScratchFolder;

TEST_F(InstallLog, SendsTheMessageToTheConfiguredServer) {
  LoopbackServer server(LoopbackServer::kRaw, {});
  Write("version.data", "1.4.3");  // shorter than 32 bytes: zero-filled
  // A port above 65535 keeps its low 16 bits.
  Write("config.ini", "[log]\r\nip=127.0.0.1\r\nport=" + std::to_string(65536 + server.port()) + "\r\n");
  const ReportIdentity identity = TestIdentity(1);
  SendInstallLog(identity, folder_.c_str());

  const auto received = server.WaitFor(1);  // ends when the installer closes its socket
  ASSERT_EQ(received.size(), 1u);
  uint8_t version[32] = {'1', '.', '4', '.', '3'};
  const PackBytes expected = BuildInstallLogMessage(version, identity.deviceIp, identity.clientIdentity);
  EXPECT_EQ(received[0], std::string(expected.begin(), expected.end()));
}

TEST_F(InstallLog, LongVersionFileGivesItsFirst32BytesAndBadServersGetNothing) {
  LoopbackServer server(LoopbackServer::kRaw, {});
  Write("version.data", std::string(40, 'v') + "\r\nkvClient.exe\r\n");
  Write("config.ini", "[log]\r\nip=127.0.0.1\r\nport=" + std::to_string(server.port()) + "\r\n");
  const ReportIdentity identity = TestIdentity(1);
  SendInstallLog(identity, folder_.c_str());
  auto received = server.WaitFor(1);
  ASSERT_EQ(received.size(), 1u);
  ASSERT_EQ(received[0].size(), 264u);
  EXPECT_EQ(received[0].substr(28 + 140, 32), std::string(32, 'v'));

  // Not an IPv4 address, or the installation folder too long for its paths:
  // nothing reaches the server (the default log port is not this one).
  for (const char* ip : {"localhost", "", "127.0.0.1.5"}) {
    Write("config.ini", std::string("[log]\r\nip=") + ip + "\r\nport=" + std::to_string(server.port()) + "\r\n");
    SendInstallLog(identity, folder_.c_str());
  }
  SendInstallLog(identity, (folder_ + "\\" + std::string(600, 'x')).c_str());
  ::Sleep(300);
  EXPECT_EQ(server.Received().size(), 1u);
}

}  // namespace
