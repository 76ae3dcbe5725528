// lnkinfo CSIDL RELATIVE-PATH
// Prints the shortcut file's full path and what the shell reads from it, one
// "key=value" line each (GBK text, whatever the system's code page):
//   path=, target=, workdir=, description=, arguments=, item= (the path of the link's item ID list)
// Exit status 0 when the file was loaded, 1 when it is missing or not a link,
// 2 on bad arguments. The end-to-end tests use it to check shortcuts from
// inside the Wine prefix, wherever the prefix puts its special folders.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "core/lnk_reader.h"

int main() {
  // The arguments wide, so that a Chinese name arrives whole on any system
  // code page.
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3) {
    std::fprintf(stderr, "usage: lnkinfo CSIDL RELATIVE-PATH\n");
    return 2;
  }
  (void)::CoInitialize(nullptr);
  wchar_t folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, _wtoi(argv[1]), FALSE)) return 2;
  const std::string path = GbkOf(folder) + "\\" + GbkOf(argv[2]);
  std::printf("path=%s\n", path.c_str());
  const LinkInfo info = ReadLinkFile(path.c_str());
  if (info.loaded) {
    std::printf("target=%s\nworkdir=%s\ndescription=%s\narguments=%s\nitem=%s\n", info.target.c_str(),
                info.workingDir.c_str(), info.description.c_str(), info.arguments.c_str(), info.itemTarget.c_str());
  }
  std::fflush(stdout);
  ::CoUninitialize();
  return info.loaded ? 0 : 1;
}
