// Reads a .lnk file back through the shell-link interface, the way the shell
// itself sees it. Shared by the unit tests and the lnkinfo helper.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

struct LinkInfo {
  bool loaded = false;
  std::string target;       // GetPath, raw (no environment expansion)
  std::string workingDir;   // GetWorkingDirectory
  std::string description;  // GetDescription
  std::string arguments;    // GetArguments: the installer sets none
};

// COM must be initialised on the calling thread.
inline LinkInfo ReadLinkFile(const char* path) {
  LinkInfo info;
  IShellLinkA* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
    return info;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH] = {};
    if (::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) > 0 && SUCCEEDED(file->Load(wide, STGM_READ))) {
      char buf[1024] = {};
      info.loaded = true;
      if (SUCCEEDED(link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH))) info.target = buf;
      buf[0] = '\0';
      if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH))) info.workingDir = buf;
      buf[0] = '\0';
      if (SUCCEEDED(link->GetDescription(buf, sizeof buf))) info.description = buf;
      buf[0] = '\0';
      if (SUCCEEDED(link->GetArguments(buf, sizeof buf))) info.arguments = buf;
    }
    file->Release();
  }
  link->Release();
  return info;
}
