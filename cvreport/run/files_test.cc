#include "run/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "scratch_dir.h"
#include "run/tree_removal.h"

namespace cvreport {
namespace {

TEST(SettingsFile, ReadsOnlySmallRegularFilesAndNeverWaits) {
  cvtest::ScratchDir scratch;
  std::string plain = scratch.write("plain", "A=1\n");
  std::string big = scratch.write("big", std::string(kMaxSettingsFileBytes + 1, 'x'));
  std::string full = scratch.write("full", std::string(kMaxSettingsFileBytes, 'x'));
  std::string fifo = scratch.fifo("fifo");
  std::string zero = scratch.link("zero", "/dev/zero");
  std::string link = scratch.link("link", plain);

  const struct {
    std::string path;
    bool followLinks;
    FileRead result;
    std::string message;
  } cases[] = {
      {plain, true, FileRead::kRead, ""},
      {full, true, FileRead::kRead, ""},
      {link, true, FileRead::kRead, ""},
      {link, false, FileRead::kUnreadable, link + " is a symbolic link"},
      {scratch.file("none"), true, FileRead::kMissing, ""},
      {big, true, FileRead::kUnreadable, big + " is larger than 1 MiB"},
      {fifo, true, FileRead::kUnreadable, fifo + " is not a regular file"},
      {zero, true, FileRead::kUnreadable, zero + " is not a regular file"},
      {scratch.path(), true, FileRead::kUnreadable, scratch.path() + " is not a regular file"},
  };
  for (const auto& c : cases) {
    std::string text, message;
    EXPECT_EQ(readSettingsFile(c.path.c_str(), c.followLinks, text, &message), c.result) << c.path;
    EXPECT_EQ(message, c.message) << c.path;
    if (c.result != FileRead::kRead) {
      EXPECT_TRUE(text.empty()) << c.path;
    }
  }
  std::string text, message;
  readSettingsFile(link.c_str(), true, text, &message);
  EXPECT_EQ(text, "A=1\n");
}

TEST(RootOnly, RefusesWhatOthersCanChange) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own and give away files";
  cvtest::ScratchDir scratch;
  std::string good = scratch.write("good", "A=1\n", 0644);
  std::string open = scratch.write("open", "A=1\n", 0666);
  std::string group = scratch.write("group", "A=1\n", 0664);
  std::string all = scratch.write("all", "A=1\n", 0777);
  std::string foreign = scratch.write("foreign", "A=1\n", 0644);
  ASSERT_EQ(chown(foreign.c_str(), 1000, 1000), 0);
  std::string toGood = scratch.link("to-good", good);
  std::string toOpen = scratch.link("to-open", open);
  std::string foreignLink = scratch.link("foreign-link", good);
  ASSERT_EQ(lchown(foreignLink.c_str(), 1000, 1000), 0);
  std::string shared = scratch.mkdir("shared", 01777);
  std::string inShared = scratch.write("shared/file", "");
  std::string toShared = scratch.link("to-shared", inShared);
  std::string toZero = scratch.link("to-zero", "/dev/zero");
  std::string fifo = scratch.fifo("fifo", 0644);
  std::string groupDir = scratch.mkdir("group-dir", 0775);
  std::string inGroupDir = scratch.write("group-dir/file", "A=1\n");
  std::string openDir = scratch.mkdir("open-dir", 0777);
  std::string inOpenDir = scratch.write("open-dir/file", "A=1\n");

  const struct {
    std::string path;
    FileSafety result;
    std::string message;
  } cases[] = {
      {good, FileSafety::kRootOnly, ""},
      {toGood, FileSafety::kRootOnly, ""},
      {scratch.file("none"), FileSafety::kMissing, ""},
      {open, FileSafety::kUnsafe, open + " is writable by others than root (mode 0666): run chmod go-w " + open},
      {group, FileSafety::kUnsafe, group + " is writable by others than root (mode 0664): run chmod go-w " + group},
      {all, FileSafety::kUnsafe, all + " is writable by others than root (mode 0777): run chmod go-w " + all},
      {foreign, FileSafety::kUnsafe, foreign + " is owned by user 1000, not root: run chown root " + foreign},
      {toOpen, FileSafety::kUnsafe, open + " is writable by others than root (mode 0666): run chmod go-w " + open},
      {foreignLink, FileSafety::kUnsafe,
       foreignLink + " is owned by user 1000, not root: run chown -h root " + foreignLink},
      {inShared, FileSafety::kUnsafe,
       inShared + " lies in " + shared +
           ", which others than root can write to (mode 1777): move it to a directory only root "
           "can write to"},
      {toShared, FileSafety::kUnsafe,
       inShared + " lies in " + shared +
           ", which others than root can write to (mode 1777): move it to a directory only root "
           "can write to"},
      {toZero, FileSafety::kUnsafe, toZero + " is not a regular file"},
      {fifo, FileSafety::kUnsafe, fifo + " is not a regular file"},
      {inGroupDir, FileSafety::kUnsafe,
       groupDir + " is writable by others than root (mode 0775): run chmod go-w " + groupDir},
      {inOpenDir, FileSafety::kUnsafe,
       openDir + " is writable by others than root (mode 0777): run chmod go-w " + openDir},
  };
  for (const auto& c : cases) {
    std::string message;
    EXPECT_EQ(checkRootOnly(c.path, &message), c.result) << c.path;
    EXPECT_EQ(message, c.message) << c.path;
  }
}

}  // namespace
}  // namespace cvreport
