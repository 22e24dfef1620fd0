#include "obfuscate/obfuscation_map.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "scratch_dir.h"

namespace cvreport {
namespace {

TEST(ObfuscationMap, SavedPrivatelyReadBackAndRefusedWhenOthersCouldReachIt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own and give away files";
  cvtest::ScratchDir scratch;
  std::string path = scratch.file("lib/cvreport/obfuscation.map");
  ObfuscationMap map;
  map.entries[{"host", "db1.corp.example"}] = "host-0001.domain-0001.example";
  map.entries[{"ipv4net", "10.1.2"}] = "10.0.1";
  std::string message;
  ASSERT_EQ(saveObfuscationMap(path, map, &message), 0) << message;
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(stat(scratch.file("lib/cvreport").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  ObfuscationMap back;
  ASSERT_EQ(loadObfuscationMap(path, back, &message), 0) << message;
  EXPECT_EQ(back.entries, map.entries);

  // What others could read or change is refused.
  std::string good = scratch.write("lib/cvreport/good",
                                   "host\tcvnode7\thost-0001\nbroken line\n\t\t\n"
                                   "user\tops\tuser0001\textra\nword\tx\n", 0600);
  std::string open = scratch.write("lib/cvreport/open", "", 0644);
  std::string theirs = scratch.write("lib/cvreport/theirs", "", 0600);
  ASSERT_EQ(chown(theirs.c_str(), 1000, 1000), 0);
  std::string link = scratch.link("lib/cvreport/link", good);
  std::string fifo = scratch.fifo("lib/cvreport/fifo");
  std::string shared = scratch.write("shared/map", "", 0600);

  const struct {
    std::string path;
    int result;
    std::string message;
    size_t entries;
  } cases[] = {
      {good, 0, "", 1},
      {scratch.file("lib/cvreport/none"), 0, "", 0},
      {open, -1, open + " must have mode 0600", 0},
      {theirs, -1, theirs + " is not owned by root", 0},
      {link, -1, link + " is a symbolic link", 0},
      {fifo, -1, fifo + " is not a regular file", 0},
      {shared, -1, scratch.file("shared") + " must be a directory of root's with mode 0700", 0},
  };
  for (const auto& c : cases) {
    ObfuscationMap map;
    map.entries[{"stale", "x"}] = "y";
    std::string message;
    EXPECT_EQ(loadObfuscationMap(c.path, map, &message), c.result) << c.path;
    EXPECT_EQ(message, c.message) << c.path;
    EXPECT_EQ(map.entries.size(), c.entries) << c.path;
  }
}

}  // namespace
}  // namespace cvreport
