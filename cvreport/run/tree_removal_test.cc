#include "run/tree_removal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "scratch_dir.h"

namespace cvreport {
namespace {

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

TEST(RemoveDirectoryTree, RemovesEverythingButLinkTargets) {
  cvtest::ScratchDir outsideDir, treeDir;
  const std::string& outside = outsideDir.path();
  outsideDir.write("keep.txt", "keep");
  const std::string& tree = treeDir.path();
  ASSERT_EQ(mkdir((tree + "/a").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((tree + "/a/b").c_str(), 0500), 0);  // read-only directory
  treeDir.write("a/file", "x");
  treeDir.write("a/c/deep", "y", 0400);
  ASSERT_EQ(symlink(outside.c_str(), (tree + "/link-to-dir").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/keep.txt").c_str(), (tree + "/a/link-to-file").c_str()), 0);
  ASSERT_EQ(symlink("/nonexistent", (tree + "/dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((tree + "/fifo").c_str(), 0600), 0);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  std::string before = cwd;

  EXPECT_EQ(removeDirectoryTree(tree.c_str()), 0);
  EXPECT_FALSE(exists(tree));
  EXPECT_TRUE(exists(outside + "/keep.txt"));
  EXPECT_EQ(removeDirectoryTree("/nonexistent/cvreport.test"), -1);
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(before, cwd);
}

TEST(RemoveDirectoryTree, RefusesALinkAsTheTop) {
  cvtest::ScratchDir scratch;
  std::string target = scratch.file("target");
  scratch.write("target/keep", "k");
  std::string link = scratch.file("link");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(removeDirectoryTree(link.c_str()), -1);
  EXPECT_TRUE(exists(target + "/keep"));
}

}  // namespace
}  // namespace cvreport
