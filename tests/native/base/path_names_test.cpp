// Path names split at '\' and '/' where they start a GBK character: a
// double-byte character whose trail byte is 0x5C is never a separator.
#include <gtest/gtest.h>

#include "base/path_names.h"

TEST(PathNames, ComponentsAndFolderPart) {
  const struct {
    const char* path;
    bool parent;         // some component is ".."
    size_t folderPart;   // bytes up to and with the last separator
    bool absolute;
  } cases[] = {
      {"", false, 0, false},
      {"a.txt", false, 0, false},
      {"sub/a.txt", false, 4, false},
      {"sub\\deep/a.txt", false, 9, false},
      {"..", true, 0, false},
      {"a/../b", true, 5, false},
      {"a\\..", true, 2, false},
      {"..a/b..", false, 4, false},
      {"a/.../b", false, 6, false},
      {"\xB1\\", false, 0, false},       // one double-byte character
      {"d/\xB1\\x", false, 2, false},
      {"\xB1\\..", false, 0, false},     // ".." follows the trail byte, not a separator
      {"/x", false, 1, true},
      {"\\..\\x", true, 4, true},
      {"C:x", false, 0, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HasParentComponent(c.path), c.parent) << c.path;
    EXPECT_EQ(FolderPartLength(c.path), c.folderPart) << c.path;
    EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << c.path;
  }
}
