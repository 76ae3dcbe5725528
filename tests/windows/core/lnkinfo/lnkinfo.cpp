// lnkinfo CSIDL RELATIVE-PATH
// Prints the shortcut file's full path and what the shell reads from it, one
// "key=value" line each (GBK text):
//   path=, target=, workdir=, description=, arguments=
// Exit status 0 when the file was loaded, 1 when it is missing or not a link,
// 2 on bad arguments. The end-to-end tests use it to check shortcuts from
// inside the Wine prefix, wherever the prefix puts its special folders.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "core/lnk_reader.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lnkinfo CSIDL RELATIVE-PATH\n");
    return 2;
  }
  (void)::CoInitialize(nullptr);
  char folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathA(nullptr, folder, std::atoi(argv[1]), FALSE)) return 2;
  char path[MAX_PATH * 2] = {};
  std::snprintf(path, sizeof path, "%s\\%s", folder, argv[2]);
  std::printf("path=%s\n", path);
  const LinkInfo info = ReadLinkFile(path);
  if (info.loaded) {
    std::printf("target=%s\nworkdir=%s\ndescription=%s\narguments=%s\n", info.target.c_str(), info.workingDir.c_str(),
                info.description.c_str(), info.arguments.c_str());
  }
  std::fflush(stdout);
  ::CoUninitialize();
  return info.loaded ? 0 : 1;
}
