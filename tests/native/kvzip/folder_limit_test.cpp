// kvzip check and the directory page's folder check share one length limit
// for the default folder of a 32-bit installer on 64-bit Windows: every name
// kvzip lets into a payload fits below that folder, whether it is typed into
// the wizard or used as the unattended run forms it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/path_names.h"
#include "core/folder_rules.h"
#include "tools/kvzip/archive_check.h"

namespace {

// What the installer's unpacking writes below the folder for a file entry:
// its name, or its folder part with the temporary name when that is longer.
size_t WrittenLength(const std::string& name) {
  return std::max(name.size(), FolderPartLength(name.c_str()) + sizeof("~kv0000.tmp") - 1);
}

TEST(FolderLimit, KvzipAcceptsOnlyNamesTheDefaultFolderTakes) {
  const std::string unattended = DefaultInstallFolder("C:\\Program Files (x86)");
  const std::string typed = FolderFromEditText(unattended);
  int accepted = 0;
  for (size_t length = 200; length < 240; ++length) {
    for (const std::string& name : {std::string(length, 'n'), "d/" + std::string(length - 2, 'n'),
                                    std::string(length - 12, 'd') + "/x"}) {
      if (StoredNameProblem(name) == "name too long") continue;
      ++accepted;
      SCOPED_TRACE(name.size());
      EXPECT_EQ(FolderProblem::None, CheckInstallFolder(typed, WrittenLength(name)));
      EXPECT_LE(unattended.size() + 1 + WrittenLength(name), 259u);  // "folder\" + "\" + name, NUL after
    }
  }
  EXPECT_GT(accepted, 0);
}

}  // namespace
