#include "submit/child.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace cvreport {
namespace {

// Runs body in a child whose stdout is the pipe of a new handle.
template <typename Body>
ChildProcess startChild(Body body) {
  ChildProcess child;
  int result = forkWithPipe(child, true);
  if (child.pid == 0) {
    if (result == 0) body();
    exitChild(0);
  }
  EXPECT_EQ(result, 0);
  return child;
}

TEST(FollowUploadProgress, SplitLinesPrintOnceAndAllOutputIsCollected) {
  ChildProcess child = startChild([] {
    fputs("PROGRESS=0\nPROGRE", stdout);
    fflush(stdout);
    usleep(300000);
    fputs("SS=50\nPROGRESS=100\n", stdout);
    fflush(stdout);
    usleep(300000);
    fputs("REPID=12345\n", stdout);
  });
  char* buffer = nullptr;
  size_t size = 0;
  FILE* saved = stdout;
  stdout = open_memstream(&buffer, &size);
  int status = -1;
  std::string collected;
  int result = followUploadProgress(child, &status, child.stream, collected);
  fclose(stdout);
  stdout = saved;
  std::string printed(buffer, size);
  free(buffer);
  closeAndReap(child, nullptr);

  EXPECT_EQ(result, child.pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(collected, "PROGRESS=0\nPROGRESS=50\nPROGRESS=100\nREPID=12345\n");
  EXPECT_EQ(printed, "Upload progress: 0%\nUpload progress: 50%\nUpload progress: 100%\n");
}

TEST(FollowUploadProgress, OutputWrittenRightBeforeExitIsKept) {
  std::string big(200000, 'x');
  // The child blocks on the full pipe until we read, and exits right after.
  ChildProcess child = startChild([&big] {
    fputs(big.c_str(), stdout);
    fputs("\nLAST=1\n", stdout);
  });
  int status = -1;
  std::string collected;
  FILE* devNull = fopen("/dev/null", "w");
  FILE* saved = stdout;
  stdout = devNull;
  followUploadProgress(child, &status, child.stream, collected);
  stdout = saved;
  fclose(devNull);
  closeAndReap(child, nullptr);
  EXPECT_EQ(collected, big + "\nLAST=1\n");
}

TEST(ChildProcess, CloseAndReapAndKill) {
  ChildProcess child = startChild([] { fputs("line\n", stdout); });
  EXPECT_EQ(closeAndReap(child, nullptr), 0);
  EXPECT_EQ(child.stream, nullptr);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // already reaped

  ChildProcess failing = startChild([] { exitChild(3); });
  int status = 0;
  EXPECT_EQ(closeAndReap(failing, &status), 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);

  ChildProcess unstarted;
  EXPECT_EQ(killChild(unstarted), -1);
  unstarted.pid = 0;
  EXPECT_EQ(killChild(unstarted), -1);
}

TEST(ChildProcess, TheOwnerClosesAndReapsWhatIsLeft) {
  // A child still writing when its owner goes: the closed pipe ends it and
  // the owner reaps it, so no zombie is left behind.
  int pid = -1;
  {
    ChildProcess child = startChild([] {
      while (fputs("line\n", stdout) != EOF && fflush(stdout) == 0) {
      }
    });
    pid = child.pid;
  }
  errno = 0;
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
}  // namespace cvreport
