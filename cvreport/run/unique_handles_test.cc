#include "run/unique_handles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

namespace cvreport {
namespace {

bool isOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(UniqueFd, ClosesOnceWhereverItEnds) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  {
    UniqueFd reader(fds[0]);
    UniqueFd moved = std::move(reader);
    EXPECT_FALSE(reader.valid());
    EXPECT_EQ(moved.get(), fds[0]);
    UniqueFd writer(fds[1]);
    EXPECT_EQ(writer.release(), fds[1]);
  }
  EXPECT_FALSE(isOpen(fds[0]));
  EXPECT_TRUE(isOpen(fds[1]));  // released, so still the caller's
  close(fds[1]);
}

TEST(UniqueFile, ClosesWithTheRightCloserAndReportsIt) {
  UniqueFile command(popen("exit 3", "r"), UniqueFile::Closer::kPclose);
  ASSERT_TRUE(command);
  int status = command.close();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
  EXPECT_FALSE(command);
  EXPECT_EQ(command.close(), 0);  // nothing left to close

  int fd = -1;
  {
    UniqueFile file(fopen("/dev/null", "re"));
    ASSERT_TRUE(file);
    fd = fileno(file.get());
    EXPECT_TRUE(isOpen(fd));
  }
  EXPECT_FALSE(isOpen(fd));
}

}  // namespace
}  // namespace cvreport
