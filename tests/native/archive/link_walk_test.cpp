// Which folders below the installation folder an entry's path goes through,
// which of them a previous entry already holds, and what may stand there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/link_walk.h"

namespace {

std::vector<std::string> Folders(const char* name, bool folderEntry, bool* ok = nullptr) {
  FolderWalk walk;
  const bool walked = WalkFolders(name, folderEntry, &walk);
  if (ok != nullptr) *ok = walked;
  std::vector<std::string> folders;
  for (size_t i = 0; i < walk.count; ++i) folders.emplace_back(name, walk.ends[i]);
  return folders;
}

using List = std::vector<std::string>;

}  // namespace

TEST(LinkWalk, FoldersOfAnEntrysPath) {
  const struct {
    const char* name;
    bool folderEntry;
    List folders;
  } cases[] = {
      {"kvClient.exe", false, {}},
      {"datafile/regions.dat", false, {"datafile"}},
      {"datafile/", true, {"datafile"}},
      {"datafile", true, {"datafile"}},  // a folder entry without its separator
      {"videoPicture/small/frame01.dat", false, {"videoPicture", "videoPicture/small"}},
      {"videoPicture\\small\\", true, {"videoPicture", "videoPicture\\small"}},
      {"a//b/./c.txt", false, {"a", "a//b"}},  // empty and "." components are the folder before
      {"./a.txt", false, {}},
      {"a./b.txt", false, {"a."}},  // Windows drops the dot: the same folder as "a", opened as such
      {"\xB1\\/x.txt", false, {"\xB1\\"}},  // a double-byte character whose trail byte is '\'
  };
  for (const auto& c : cases) EXPECT_EQ(c.folders, Folders(c.name, c.folderEntry)) << c.name;
}

TEST(LinkWalk, NamesThatLeaveTheFolderWalkNothing) {
  std::string deep;
  for (int i = 0; i < 131; ++i) deep += "d/";
  for (const std::string& name : {std::string("../x.txt"), std::string("a/../../x.txt"), std::string("\\x\\y.txt"),
                                  std::string("/x.txt"), std::string("C:\\x.txt"), std::string("C:x.txt"), deep}) {
    bool ok = true;
    EXPECT_EQ(List{}, Folders(name.c_str(), true, &ok)) << name;
    EXPECT_FALSE(ok) << name;
  }
  bool ok = false;
  EXPECT_EQ(130u, Folders(deep.substr(2).c_str(), true, &ok).size());
  EXPECT_TRUE(ok);
}

TEST(LinkWalk, SharedFoldersOfTwoEntries) {
  const struct {
    const char* held;
    const char* next;
    size_t shared;
  } cases[] = {
      {"a/b/x.txt", "a/b/y.txt", 2},
      {"a/b/x.txt", "a\\b\\y.txt", 2},  // either separator
      {"a/b/x.txt", "a/c/y.txt", 1},
      {"a/b/x.txt", "ab/y.txt", 0},
      {"ab/x.txt", "a/b/y.txt", 0},
      {"a/b/x.txt", "A/b/y.txt", 0},  // the same folder on Windows: opened again, which is safe
      {"a/b/x.txt", "a/b/c/y.txt", 2},
      {"a/b/c/y.txt", "a/b/x.txt", 2},
      {"x.txt", "a/y.txt", 0},
      {"\xB1\\/x.txt", "\xB1//y.txt", 0},  // a trail byte '\' is no separator
      {"\xB1\\/x.txt", "\xB1\\\\y.txt", 1},
  };
  for (const auto& c : cases) {
    FolderWalk held, next;
    ASSERT_TRUE(WalkFolders(c.held, false, &held));
    ASSERT_TRUE(WalkFolders(c.next, false, &next));
    EXPECT_EQ(c.shared, SharedFolders(c.held, held, c.next, next)) << c.held << " then " << c.next;
  }
}

TEST(LinkWalk, WhatStandsInAFoldersPlace) {
  constexpr uint32_t kJunction = 0xA0000003, kSymbolicLink = 0xA000000C, kWslLink = 0xA000001D;
  constexpr uint32_t kCloudPlaceholder = 0x9000101A, kDeduplicated = 0x80000013;
  const struct {
    uint32_t handle;
    uint32_t tag;
    uint32_t name;
    FolderVerdict verdict;
  } cases[] = {
      {0x10, 0, 0x10, FolderVerdict::Folder},
      {0x10, 0, kNoAttributes, FolderVerdict::Folder},  // the name could not be asked
      {0x410, kJunction, 0x410, FolderVerdict::Link},  // as Windows opens links
      {0x410, kSymbolicLink, kNoAttributes, FolderVerdict::Link},
      {0x410, kWslLink, 0x410, FolderVerdict::Link},
      {0x10, 0, 0x410, FolderVerdict::Link},  // Wine: the handle is the target's, the name shows the link
      {0x410, kCloudPlaceholder, 0x410, FolderVerdict::Folder},  // a folder whose files a sync service keeps
      {0x410, kDeduplicated, 0x410, FolderVerdict::Folder},
      {0x420, kSymbolicLink, 0x420, FolderVerdict::Link},  // a file link where a folder should be
      {0x20, 0, 0x20, FolderVerdict::NotFolder},
      {0x420, kDeduplicated, 0x420, FolderVerdict::NotFolder},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.verdict, JudgeFolder(c.handle, c.tag, c.name)) << std::hex << c.handle << " " << c.tag << " " << c.name;
  }
}
