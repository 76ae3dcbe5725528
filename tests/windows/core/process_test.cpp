#include "core/process.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string HelperPath(const char* name) {
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path = self;
  return path.substr(0, path.find_last_of('\\') + 1) + name;
}

struct Started {
  PROCESS_INFORMATION info = {};
  std::string exe;
};

// Every process of the snapshot named exactly name, in snapshot order.
std::vector<DWORD> SnapshotIds(const char* name) {
  std::vector<DWORD> ids;
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
    if (std::strcmp(entry.szExeFile, name) == 0) ids.push_back(entry.th32ProcessID);
  }
  ::CloseHandle(snapshot);
  return ids;
}

// Copies of the sleeper under the names the lookup must tell apart, each in a
// folder of its own (the file system ignores case, the lookup does not).
class ProcessLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "kv-process-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(root_.c_str(), nullptr);
  }
  void TearDown() override {
    for (Started& s : started_) {
      ::TerminateProcess(s.info.hProcess, 0);
      ::WaitForSingleObject(s.info.hProcess, 5000);
      ::CloseHandle(s.info.hProcess);
      ::CloseHandle(s.info.hThread);
      ::DeleteFileA(s.exe.c_str());
      ::RemoveDirectoryA(s.exe.substr(0, s.exe.find_last_of('\\')).c_str());
    }
    ::RemoveDirectoryA(root_.c_str());
  }

  // Starts a copy of the sleeper as root\folder\name.
  const Started& Start(const char* folder, const char* name) {
    const std::string dir = root_ + "\\" + folder;
    ::CreateDirectoryA(dir.c_str(), nullptr);
    Started s;
    s.exe = dir + "\\" + name;
    EXPECT_TRUE(::CopyFileA(HelperPath("sleeper.exe").c_str(), s.exe.c_str(), FALSE)) << s.exe;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string commandLine = "\"" + s.exe + "\"";
    EXPECT_TRUE(::CreateProcessA(s.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si,
                                 &s.info))
        << s.exe;
    started_.push_back(s);
    return started_.back();
  }

  std::string root_;
  std::vector<Started> started_;
};

TEST_F(ProcessLookupTest, OnlyTheExactWholeNameMatches) {
  EXPECT_EQ(0u, FindProcessByExeName("kvClient.exe"));
  Start("upper", "KVCLIENT.EXE");
  Start("suffix", "kvClient.exe.bak");
  Start("prefix", "kvClient.ex");
  ASSERT_EQ(1u, SnapshotIds("KVCLIENT.EXE").size()) << "the snapshot keeps the file's own spelling";
  EXPECT_EQ(0u, FindProcessByExeName("kvClient.exe"));
  EXPECT_EQ(0u, FindProcessByExeName("kvclient.exe"));

  const DWORD client = Start("client", "kvClient.exe").info.dwProcessId;
  EXPECT_EQ(client, FindProcessByExeName("kvClient.exe"));
  EXPECT_EQ(started_[0].info.dwProcessId, FindProcessByExeName("KVCLIENT.EXE"));
  EXPECT_EQ(0u, FindProcessByExeName(""));
  EXPECT_EQ(0u, FindProcessByExeName(nullptr));
}

TEST_F(ProcessLookupTest, ChineseNameMatchesByItsGbkBytes) {
  const DWORD id = Start("cn", "客户端.exe").info.dwProcessId;  // GBK literal
  EXPECT_EQ(id, FindProcessByExeName("客户端.exe"));
  EXPECT_EQ(0u, FindProcessByExeName("客户.exe"));
}

TEST_F(ProcessLookupTest, TwoInstancesGiveTheFirstInSnapshotOrder) {
  const DWORD a = Start("one", "kvClient.exe").info.dwProcessId;
  const DWORD b = Start("two", "kvClient.exe").info.dwProcessId;
  const std::vector<DWORD> order = SnapshotIds("kvClient.exe");
  ASSERT_EQ(2u, order.size());
  EXPECT_TRUE((order[0] == a && order[1] == b) || (order[0] == b && order[1] == a));
  EXPECT_EQ(order[0], FindProcessByExeName("kvClient.exe"));

  // Ending the one found leaves the other running and findable.
  DWORD error = 0;
  EXPECT_EQ(ProcessEnding::Ended, EndProcessAndWait(order[0], &error));
  EXPECT_EQ(order[1], FindProcessByExeName("kvClient.exe"));
}

bool CanOpenForWriting(const std::string& path) {
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

TEST_F(ProcessLookupTest, EndedProcessIsGoneAndItsFileReplaceable) {
  const Started& client = Start("end", "kvClient.exe");
  // Once the program runs, its executable is locked against writing.
  for (int i = 0; i < 100 && CanOpenForWriting(client.exe); ++i) ::Sleep(50);
  ASSERT_FALSE(CanOpenForWriting(client.exe));
  ::Sleep(300);  // well into its run, as a client the user has open

  DWORD ended = 0;
  ASSERT_EQ(ProcessEnding::Ended, EndProcessAndWait(client.info.dwProcessId, &ended));
  // What the unpacking does next, at once: replace the executable.
  const HANDLE file = ::CreateFileA(client.exe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const DWORD error = ::GetLastError();
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << "error " << error;
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(file, "new", 3, &written, nullptr));
  ::CloseHandle(file);

  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(client.info.hProcess, 0));
  DWORD exitCode = STILL_ACTIVE;
  EXPECT_TRUE(::GetExitCodeProcess(client.info.hProcess, &exitCode));
  EXPECT_EQ(0u, exitCode);
  EXPECT_EQ(0u, FindProcessByExeName("kvClient.exe"));
}

// One that never was is not said to be ended.
TEST_F(ProcessLookupTest, EndingANonexistentProcessIsHarmlessAndSaysSo) {
  for (const DWORD id : {0ul, 0xFFFFFFF0ul}) {
    DWORD error = 0;
    EXPECT_EQ(ProcessEnding::NotOpened, EndProcessAndWait(id, &error)) << id;
    EXPECT_NE(0u, error) << id;
  }
}

}  // namespace
