// Reads a .lnk file back through the shell-link interface, the way the shell
// itself sees it, as GBK text on any system code page. Shared by the unit
// tests and the lnkinfo helper.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

#include "tools/gbk_of.h"

struct LinkInfo {
  bool loaded = false;
  std::string target;       // GetPath, raw (no environment expansion)
  std::string workingDir;   // GetWorkingDirectory
  std::string description;  // GetDescription
  std::string arguments;    // GetArguments: the installer sets none
  std::string itemTarget;   // the path of GetIDList, the item the shell starts
};


inline std::wstring WideOfGbk(const char* gbk) {
  wchar_t wide[MAX_PATH * 2] = {};
  return ::MultiByteToWideChar(936, 0, gbk, -1, wide, MAX_PATH * 2) > 0 ? std::wstring(wide) : std::wstring();
}

// path: GBK. COM must be initialised on the calling thread.
inline LinkInfo ReadLinkFile(const char* path) {
  LinkInfo info;
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
    return info;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    const std::wstring wide = WideOfGbk(path);
    if (!wide.empty() && SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
      wchar_t buf[1024] = {};
      info.loaded = true;
      if (SUCCEEDED(link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH))) info.target = GbkOf(buf);
      buf[0] = L'\0';
      if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH))) info.workingDir = GbkOf(buf);
      buf[0] = L'\0';
      if (SUCCEEDED(link->GetDescription(buf, 1024))) info.description = GbkOf(buf);
      buf[0] = L'\0';
      if (SUCCEEDED(link->GetArguments(buf, 1024))) info.arguments = GbkOf(buf);
      PIDLIST_ABSOLUTE item = nullptr;
      buf[0] = L'\0';
      if (SUCCEEDED(link->GetIDList(&item)) && item != nullptr) {
        if (::SHGetPathFromIDListW(item, buf)) info.itemTarget = GbkOf(buf);
        ::CoTaskMemFree(item);
      }
    }
    file->Release();
  }
  link->Release();
  return info;
}
