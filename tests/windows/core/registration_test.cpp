#include "core/registration.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

namespace {

struct StoredValue {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::string bytes;  // as stored, NUL included
};

StoredValue ReadValue(const char* name) {
  StoredValue v;
  HKEY key = nullptr;
  v.status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key);
  if (v.status != ERROR_SUCCESS) return v;
  char buf[1024] = {};
  DWORD size = sizeof buf;
  v.status = ::RegQueryValueExA(key, name, nullptr, &v.type, reinterpret_cast<BYTE*>(buf), &size);
  if (v.status == ERROR_SUCCESS) v.bytes.assign(buf, size);
  ::RegCloseKey(key);
  return v;
}

DWORD ValueCount() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD values = 0;
  ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
  ::RegCloseKey(key);
  return values;
}

bool KeyExists() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

class UninstallValueTest : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey); }
  void TearDown() override { ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey); }
};

TEST_F(UninstallValueTest, RejectedArgumentsWriteNothing) {
  EXPECT_EQ(0, WriteUninstallValue(nullptr, "Kelvane"));
  EXPECT_EQ(0, WriteUninstallValue("", "Kelvane"));
  EXPECT_EQ(0, WriteUninstallValue("DisplayName", nullptr));
  EXPECT_EQ(0, WriteUninstallNumber(nullptr, 1));
  EXPECT_EQ(0, WriteUninstallNumber("", 1));
  EXPECT_EQ(0, WriteUninstallValue("DisplayIcon", "D:\\\x81"));  // not GBK: a cut character
  EXPECT_FALSE(KeyExists()) << "a rejected call must not even create the key";
}

TEST_F(UninstallValueTest, CreatesMissingKeyAndStoresRegSzWithItsNul) {
  ASSERT_FALSE(KeyExists());
  EXPECT_EQ(1, WriteUninstallValue("DisplayName", "Kelvane"));
  const StoredValue v = ReadValue("DisplayName");
  ASSERT_EQ(ERROR_SUCCESS, v.status);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), v.type);
  EXPECT_EQ(std::string("Kelvane", 8), v.bytes);  // 7 characters and the NUL
}

TEST_F(UninstallValueTest, InstallStepValuesKeepTextAsGiven) {
  // The unattended folder ends in "\", so the uninstaller path has two.
  const char uninstaller[] = "C:\\Program Files\\Kelvane\\\\kv_Uninstall.exe";
  const char chinese[] = "D:\\软件\\Kelvane\\kv_Uninstall.exe";  // GBK bytes in this build
  EXPECT_EQ(1, WriteUninstallValue("DisplayName", "Kelvane"));
  EXPECT_EQ(1, WriteUninstallValue("Publisher", "Brevanta"));
  EXPECT_EQ(1, WriteUninstallValue("UninstallString", uninstaller));
  EXPECT_EQ(1, WriteUninstallValue("DisplayIcon", chinese));
  EXPECT_EQ(std::string(uninstaller, sizeof uninstaller), ReadValue("UninstallString").bytes);
  EXPECT_EQ(std::string(chinese, sizeof chinese), ReadValue("DisplayIcon").bytes);
  EXPECT_EQ(std::string("Brevanta", 9), ReadValue("Publisher").bytes);
  EXPECT_EQ(4u, ValueCount());

  // Stored as UTF-16, so that any system reads the Chinese folder right.
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key));
  wchar_t wide[64] = {};
  DWORD size = sizeof wide;
  EXPECT_EQ(ERROR_SUCCESS,
            ::RegQueryValueExW(key, L"DisplayIcon", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size));
  ::RegCloseKey(key);
  EXPECT_EQ(std::wstring(L"D:\\\u8F6F\u4EF6\\Kelvane\\kv_Uninstall.exe"), wide);
}

TEST_F(UninstallValueTest, SecondInstallOverwritesEachValue) {
  EXPECT_EQ(1, WriteUninstallValue("UninstallString", "C:\\Program Files\\Kelvane\\\\kv_Uninstall.exe"));
  EXPECT_EQ(1, WriteUninstallValue("DisplayIcon", "C:\\Program Files\\Kelvane\\\\kv_Uninstall.exe"));
  EXPECT_EQ(1, WriteUninstallValue("UninstallString", "D:\\A\\kv_Uninstall.exe"));
  EXPECT_EQ(1, WriteUninstallValue("DisplayIcon", "D:\\A\\kv_Uninstall.exe"));
  EXPECT_EQ(std::string("D:\\A\\kv_Uninstall.exe", 22), ReadValue("UninstallString").bytes);
  EXPECT_EQ(std::string("D:\\A\\kv_Uninstall.exe", 22), ReadValue("DisplayIcon").bytes);
  EXPECT_EQ(2u, ValueCount());
}

// The numbers go in as REG_DWORD, four bytes, into the key the text values
// use, created when missing; a repeat install changes only what it writes.
TEST_F(UninstallValueTest, NumbersAreDwordsBesideTheTextValues) {
  const std::pair<const char*, uint32_t> numbers[] = {{"EstimatedSize", 0}, {"NoModify", 1}, {"NoRepair", 0xFFFFFFFF}};
  for (const auto& n : numbers) {
    EXPECT_EQ(1, WriteUninstallNumber(n.first, n.second)) << n.first;
    const StoredValue v = ReadValue(n.first);
    ASSERT_EQ(ERROR_SUCCESS, v.status) << n.first;
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v.type) << n.first;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&n.second), 4), v.bytes) << n.first;
  }
  EXPECT_EQ(1, WriteUninstallValue("DisplayVersion", "1.4.3"));
  EXPECT_EQ(1, WriteUninstallNumber("EstimatedSize", 123));
  EXPECT_EQ(std::string("\x7B\0\0\0", 4), ReadValue("EstimatedSize").bytes);
  EXPECT_EQ(std::string("1.4.3", 6), ReadValue("DisplayVersion").bytes);
  EXPECT_EQ(4u, ValueCount());
}

// A repeat install without a version removes the earlier one's; a value or
// key that is not there is as good as removed.
TEST_F(UninstallValueTest, DeletedValueGoesAndTheOthersStay) {
  EXPECT_EQ(1, DeleteUninstallValue("DisplayVersion"));  // no key yet
  EXPECT_FALSE(KeyExists());
  EXPECT_EQ(1, WriteUninstallValue("DisplayVersion", "1.4.3"));
  EXPECT_EQ(1, WriteUninstallNumber("EstimatedSize", 5));
  EXPECT_EQ(1, DeleteUninstallValue("DisplayVersion"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadValue("DisplayVersion").status);
  EXPECT_EQ(1u, ValueCount());
  EXPECT_EQ(1, DeleteUninstallValue("DisplayVersion"));  // already gone
  EXPECT_EQ(0, DeleteUninstallValue(nullptr));
  EXPECT_EQ(0, DeleteUninstallValue(""));
  EXPECT_EQ(1u, ValueCount());
}

TEST_F(UninstallValueTest, EmptyDataIsStoredAsEmptyString) {
  EXPECT_EQ(1, WriteUninstallValue("DisplayIcon", ""));
  const StoredValue v = ReadValue("DisplayIcon");
  ASSERT_EQ(ERROR_SUCCESS, v.status);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), v.type);
  EXPECT_EQ(std::string(1, '\0'), v.bytes);
}

}  // namespace
