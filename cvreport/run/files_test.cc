#include "run/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "run/tree_removal.h"

namespace cvreport {
namespace {

// A scratch directory (mode 0755, root's when the tests run as root, as
// they do in the suite) with a file in it.
class Scratch {
 public:
  Scratch() {
    char name[] = "/tmp/cvfiles_test.XXXXXX";
    dir_ = mkdtemp(name);
    chmod(dir_.c_str(), 0755);
  }
  ~Scratch() { removeDirectoryTree(dir_.c_str()); }
  std::string path(const char* name) const { return dir_ + "/" + name; }
  std::string write(const char* name, const std::string& text, mode_t mode = 0644) const {
    std::string file = path(name);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    chmod(file.c_str(), mode);
    return file;
  }
  const std::string& dir() const { return dir_; }

 private:
  static ssize_t write(int fd, const char* data, size_t size) { return ::write(fd, data, size); }
  std::string dir_;
};

TEST(SettingsFile, ReadsOnlySmallRegularFilesAndNeverWaits) {
  Scratch scratch;
  std::string plain = scratch.write("plain", "A=1\n");
  std::string big = scratch.write("big", std::string(kMaxSettingsFileBytes + 1, 'x'));
  std::string full = scratch.write("full", std::string(kMaxSettingsFileBytes, 'x'));
  std::string fifo = scratch.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string zero = scratch.path("zero");
  ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
  std::string link = scratch.path("link");
  ASSERT_EQ(symlink(plain.c_str(), link.c_str()), 0);

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
      {scratch.path("none"), true, FileRead::kMissing, ""},
      {big, true, FileRead::kUnreadable, big + " is larger than 1 MiB"},
      {fifo, true, FileRead::kUnreadable, fifo + " is not a regular file"},
      {zero, true, FileRead::kUnreadable, zero + " is not a regular file"},
      {scratch.dir(), true, FileRead::kUnreadable, scratch.dir() + " is not a regular file"},
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
  Scratch scratch;
  std::string good = scratch.write("good", "A=1\n", 0644);
  std::string open = scratch.write("open", "A=1\n", 0666);
  std::string group = scratch.write("group", "A=1\n", 0664);
  std::string foreign = scratch.write("foreign", "A=1\n", 0644);
  ASSERT_EQ(chown(foreign.c_str(), 1000, 1000), 0);
  std::string toGood = scratch.path("to-good");
  ASSERT_EQ(symlink(good.c_str(), toGood.c_str()), 0);
  std::string toOpen = scratch.path("to-open");
  ASSERT_EQ(symlink(open.c_str(), toOpen.c_str()), 0);
  std::string foreignLink = scratch.path("foreign-link");
  ASSERT_EQ(symlink(good.c_str(), foreignLink.c_str()), 0);
  ASSERT_EQ(lchown(foreignLink.c_str(), 1000, 1000), 0);
  std::string shared = scratch.path("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  std::string inShared = shared + "/file";
  ASSERT_EQ(close(::open(inShared.c_str(), O_WRONLY | O_CREAT, 0644)), 0);
  std::string toShared = scratch.path("to-shared");
  ASSERT_EQ(symlink(inShared.c_str(), toShared.c_str()), 0);
  std::string toZero = scratch.path("to-zero");
  ASSERT_EQ(symlink("/dev/zero", toZero.c_str()), 0);
  std::string fifo = scratch.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  std::string groupDir = scratch.path("group-dir");
  ASSERT_EQ(mkdir(groupDir.c_str(), 0775), 0);
  ASSERT_EQ(chmod(groupDir.c_str(), 0775), 0);
  std::string inGroupDir = groupDir + "/file";
  ASSERT_EQ(close(::open(inGroupDir.c_str(), O_WRONLY | O_CREAT, 0644)), 0);

  const struct {
    std::string path;
    FileSafety result;
    std::string message;
  } cases[] = {
      {good, FileSafety::kRootOnly, ""},
      {toGood, FileSafety::kRootOnly, ""},
      {scratch.path("none"), FileSafety::kMissing, ""},
      {open, FileSafety::kUnsafe, open + " is writable by others than root (mode 0666): run chmod go-w " + open},
      {group, FileSafety::kUnsafe, group + " is writable by others than root (mode 0664): run chmod go-w " + group},
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
  };
  for (const auto& c : cases) {
    std::string message;
    EXPECT_EQ(checkRootOnly(c.path, &message), c.result) << c.path;
    EXPECT_EQ(message, c.message) << c.path;
  }
}

}  // namespace
}  // namespace cvreport
