// A new folder below the temp folder for one test: its name holds the
// process and a count, so tests of one run and runs side by side never meet.
// Empty when it cannot be made.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

inline std::string FreshTempFolder(const char* prefix) {
  char temp[MAX_PATH];
  if (::GetTempPathA(MAX_PATH, temp) == 0) return std::string();
  static int counter = 0;
  char name[64];
  std::snprintf(name, sizeof name, "%s%lu_%d", prefix, ::GetCurrentProcessId(), counter++);
  const std::string folder = std::string(temp) + name;
  return ::CreateDirectoryA(folder.c_str(), nullptr) ? folder : std::string();
}
