// The installer's DLL search, as linked into this test program too: confined
// to the system folder before any ordinary static object is built, and the
// delay-loaded DLLs taken from there.
#include "core/dll_search.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// An ordinary static object of another translation unit, as theTheme and
// theApp are: by its construction the search is confined already.
const bool confinedAtStaticInit = DllSearchConfined();

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

TEST(DllSearch, ConfinedBeforeStaticObjects) { EXPECT_TRUE(confinedAtStaticInit); }

TEST(DllSearch, DelayLoadedDllsComeFromTheSystemFolder) {
  char system[MAX_PATH] = {};
  ASSERT_NE(0u, ::GetSystemDirectoryA(system, MAX_PATH));
  for (const char* name : {"msimg32.dll", "iphlpapi.dll", "wininet.dll"}) {
    HMODULE module = LoadSystemDll(name);
    ASSERT_NE(module, nullptr) << name;
    char path[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetModuleFileNameA(module, path, MAX_PATH));
    EXPECT_EQ(Lower(path), Lower(std::string(system) + "\\" + name));
  }
  EXPECT_EQ(LoadSystemDll("kv-no-such.dll"), nullptr);
}

// The windows' DLLs, loaded for good by the question whether they are there.
TEST(DllSearch, WindowDllsAreThere) {
  DWORD error = 0;
  EXPECT_EQ(MissingWindowDll(&error), nullptr) << error;
  for (const char* name : {"comctl32.dll", "gdiplus.dll", "msimg32.dll"}) {
    EXPECT_NE(::GetModuleHandleA(name), nullptr) << name;
  }
}

}  // namespace
