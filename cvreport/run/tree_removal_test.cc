#include "run/tree_removal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace cvreport {
namespace {

std::string makeTempDir() {
  char name[] = "/tmp/cvtree_removal_test.XXXXXX";
  return mkdtemp(name);
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path) << content;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

TEST(RemoveDirectoryTree, RemovesEverythingButLinkTargets) {
  std::string outside = makeTempDir();
  writeFile(outside + "/keep.txt", "keep");
  std::string tree = makeTempDir();
  ASSERT_EQ(mkdir((tree + "/a").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((tree + "/a/b").c_str(), 0500), 0);  // read-only directory
  writeFile(tree + "/a/file", "x");
  ASSERT_EQ(mkdir((tree + "/a/c").c_str(), 0700), 0);
  writeFile(tree + "/a/c/deep", "y");
  ASSERT_EQ(chmod((tree + "/a/c/deep").c_str(), 0400), 0);
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
  unlink((outside + "/keep.txt").c_str());
  rmdir(outside.c_str());
}

TEST(RemoveDirectoryTree, RefusesALinkAsTheTop) {
  std::string target = makeTempDir();
  writeFile(target + "/keep", "k");
  std::string link = target + ".link";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(removeDirectoryTree(link.c_str()), -1);
  EXPECT_TRUE(exists(target + "/keep"));
  unlink(link.c_str());
  unlink((target + "/keep").c_str());
  rmdir(target.c_str());
}

}  // namespace
}  // namespace cvreport
