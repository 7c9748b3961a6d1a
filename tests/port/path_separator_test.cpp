// The folder part of a path, where the open and save dialogs start.
#include "engine/port/path_separator.h"

#include <gtest/gtest.h>

namespace {

using kelm::port::FolderOf;

TEST(FileActionFolders, FolderOfAPath) {
  EXPECT_EQ(FolderOf("/home/ann/a.bin"), "/home/ann");
  EXPECT_EQ(FolderOf("/a.bin"), "/");
  EXPECT_EQ(FolderOf("a.bin"), "");
  EXPECT_EQ(FolderOf("sub/a.bin"), "sub");
}

}  // namespace
