#include "core/shell_links.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

#include "base/handles.h"
#include "core/folder_rules.h"
#include "core/install_step.h"
#include "core/shell_folders.h"

namespace {

using LinkObject = UniqueCom<IShellLinkA>;

// The run link and the uninstall link, from CreateShellLinks until
// ReleaseShellLinks (a later CreateShellLinks releases them first). Whoever
// makes them releases them on the same thread before that thread's
// CoUninitialize: a COM object released outside its apartment, or after it
// is gone, is released into freed memory.
struct Links {
  LinkObject run;
  LinkObject uninstall;
};
Links& TheLinks() {
  static Links links;
  return links;
}

// A shell-link object with working directory workDir, target
// workDir\exeName and the given description; empty when COM cannot make one.
LinkObject MakeLink(const std::string& workDir, const char* exeName, const char* description) {
  LinkObject link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.put()))) ||
      !link) {
    return LinkObject();
  }
  const std::string target = workDir + "\\" + exeName;
  // The setters' results are not examined: a link missing a detail is still
  // saved, as the shell would show it.
  (void)link->SetWorkingDirectory(workDir.c_str());
  (void)link->SetPath(target.c_str());
  (void)link->SetDescription(description);
  return link;
}

// Formats into a MAX_PATH buffer; false when the text does not fit.
template <typename... Args>
bool FormatPath(char (&out)[MAX_PATH], const char* format, Args... args) {
  const int n = std::snprintf(out, sizeof out, format, args...);
  return n >= 0 && n < static_cast<int>(sizeof out);
}

}  // namespace

void CreateShellLinks(const char* installDir) {
  ReleaseShellLinks();
  Links& links = TheLinks();

  const std::string workDir = TrimTrailingBackslashes(installDir != nullptr ? installDir : "");
  links.run = MakeLink(workDir, kUpdaterExe, "运行Kelvane");
  links.uninstall = MakeLink(workDir, kUninstallExe, "卸载Kelvane");
}

void ReleaseShellLinks() {
  Links& links = TheLinks();
  links.run.reset();
  links.uninstall.reset();
}

int SaveShellLink(int csidl, const char* fileName, int which, int inSubfolder) {
  if (fileName == nullptr) return 0;

  const std::string folder = SpecialFolderPath(csidl);
  if (folder.empty()) return 0;

  char linkPath[MAX_PATH] = {};
  if (inSubfolder) {
    // Any entry at all in the product folder means it exists; an existing
    // empty folder still holds "." and "..".
    char pattern[MAX_PATH] = {};
    char subfolder[MAX_PATH] = {};
    if (!FormatPath(pattern, "%s\\%s\\*.*", folder.c_str(), kProductName) ||
        !FormatPath(subfolder, "%s\\%s", folder.c_str(), kProductName) ||
        !FormatPath(linkPath, "%s\\%s\\%s", folder.c_str(), kProductName, fileName)) {
      return 0;
    }
    WIN32_FIND_DATAA found = {};
    const UniqueFindHandle search(::FindFirstFileA(pattern, &found));
    if (!search) (void)::CreateDirectoryA(subfolder, nullptr);  // a failure shows as a failed save below
  } else if (!FormatPath(linkPath, "%s\\%s", folder.c_str(), fileName)) {
    return 0;
  }

  const LinkObject& link = which != 0 ? TheLinks().uninstall : TheLinks().run;
  if (!link) return 0;

  UniqueCom<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) || !file) return 0;
  WCHAR widePath[MAX_PATH] = {};
  const int converted = ::MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH);
  const HRESULT saved = converted > 0 ? file->Save(widePath, TRUE) : E_FAIL;
  return SUCCEEDED(saved) ? 1 : 0;
}
