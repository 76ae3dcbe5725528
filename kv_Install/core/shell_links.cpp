#include "core/shell_links.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <initializer_list>
#include <string>

#include "base/gbk_text.h"
#include "base/handles.h"
#include "base/wide.h"
#include "core/folder_rules.h"
#include "core/install_step.h"
#include "core/shell_folders.h"

namespace {

using LinkObject = UniqueCom<IShellLinkW>;

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
// The texts go to the wide interface, converted from GBK with code page 936:
// the narrow one would read them in the system's code page.
LinkObject MakeLink(const std::string& workDir, const char* exeName, const char* description) {
  std::u16string wideDir, target, wideDescription;
  if (!GbkToUtf16(workDir, &wideDir) || !GbkToUtf16(workDir + "\\" + exeName, &target) ||
      !GbkToUtf16(description, &wideDescription)) {
    return LinkObject();
  }
  LinkObject link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()))) ||
      !link) {
    return LinkObject();
  }
  // The setters' results are not examined: a link missing a detail is still
  // saved, as the shell would show it.
  (void)link->SetWorkingDirectory(WStr(wideDir));
  (void)link->SetPath(WStr(target));
  (void)link->SetDescription(WStr(wideDescription));
  return link;
}

// parts joined with "\"; false when the GBK parts do not convert or the path
// does not fit a MAX_PATH buffer.
bool JoinPath(std::u16string folder, std::initializer_list<const char*> parts, std::u16string* out) {
  for (const char* part : parts) {
    std::u16string wide;
    if (!GbkToUtf16(part, &wide)) return false;
    folder += u'\\';
    folder += wide;
  }
  *out = std::move(folder);
  return out->size() < MAX_PATH;
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

  // The folder stays wide: a user folder GBK cannot hold still gets its links.
  const std::u16string folder = SpecialFolderPathWide(csidl);
  if (folder.empty()) return 0;

  std::u16string linkPath;
  if (inSubfolder) {
    // Any entry at all in the product folder means it exists; an existing
    // empty folder still holds "." and "..".
    std::u16string pattern, subfolder;
    if (!JoinPath(folder, {kProductName, "*.*"}, &pattern) || !JoinPath(folder, {kProductName}, &subfolder) ||
        !JoinPath(folder, {kProductName, fileName}, &linkPath)) {
      return 0;
    }
    WIN32_FIND_DATAW found = {};
    const UniqueFindHandle search(::FindFirstFileW(WStr(pattern), &found));
    if (!search) (void)::CreateDirectoryW(WStr(subfolder), nullptr);  // a failure shows as a failed save below
  } else if (!JoinPath(folder, {fileName}, &linkPath)) {
    return 0;
  }

  const LinkObject& link = which != 0 ? TheLinks().uninstall : TheLinks().run;
  if (!link) return 0;

  UniqueCom<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) || !file) return 0;
  return SUCCEEDED(file->Save(WStr(linkPath), TRUE)) ? 1 : 0;
}
