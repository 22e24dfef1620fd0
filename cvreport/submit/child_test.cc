#include "submit/child.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "submit/pipe_reader.h"
#include "submit/progress.h"

namespace cvreport {
namespace {

TEST(WaitCollecting, SplitLinesFollowOnceAndAllOutputIsCollected) {
  Child child;
  ASSERT_EQ(child.start(
                [] {
                  fputs("PROGRESS=0\nPROGRE", stdout);
                  fflush(stdout);
                  usleep(300000);
                  fputs("SS=50\nPROGRESS=100\n", stdout);
                  fflush(stdout);
                  usleep(300000);
                  fputs("REPID=12345\n", stdout);
                },
                false),
            0);
  int status = -1;
  std::string collected;
  std::vector<int> followed;
  ChildState state =
      child.waitCollecting(&status, collected, [&followed](const std::string& text, size_t& scan) {
        int percent = 0;
        while (nextUploadPercent(text, scan, percent)) followed.push_back(percent);
      });

  EXPECT_EQ(state, ChildState::kExited);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(collected, "PROGRESS=0\nPROGRESS=50\nPROGRESS=100\nREPID=12345\n");
  EXPECT_EQ(followed, (std::vector<int>{0, 50, 100}));
}

TEST(WaitCollecting, OutputWrittenRightBeforeExitIsKept) {
  std::string big(200000, 'x');
  // The child blocks on the full pipe until we read, and exits right after.
  Child child;
  ASSERT_EQ(child.start(
                [&big] {
                  fputs(big.c_str(), stdout);
                  fputs("\nLAST=1\n", stdout);
                },
                false),
            0);
  int status = -1;
  std::string collected;
  child.waitCollecting(&status, collected, [](const std::string&, size_t&) {});
  EXPECT_EQ(collected, big + "\nLAST=1\n");
}

TEST(Child, CloseAndReapGivesTheExitStatus) {
  Child child;
  ASSERT_EQ(child.start([] { fputs("line\n", stdout); }, false), 0);
  EXPECT_EQ(child.closeAndReap(nullptr), 0);
  EXPECT_EQ(child.outputFd(), -1);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // already reaped

  Child failing;
  ASSERT_EQ(failing.start([] { exitChild(3); }, false), 0);
  int status = 0;
  EXPECT_EQ(failing.closeAndReap(&status), 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);

  // An unstarted child has no pid: signalling it must not reach this
  // process or its group (kill(0) or kill(-1) would end this test).
  Child unstarted;
  unstarted.signal(SIGKILL);
  unstarted.stop(0);
  EXPECT_EQ(unstarted.pid(), -1);
}

TEST(Child, TheOwnerClosesAndReapsWhatIsLeft) {
  // A child still writing when its owner goes: the closed pipe ends it and
  // the owner reaps it, so no zombie is left behind.
  int pid = -1;
  {
    Child child;
    ASSERT_EQ(child.start(
                  [] {
                    while (fputs("line\n", stdout) != EOF && fflush(stdout) == 0) {
                    }
                  },
                  false),
              0);
    pid = child.pid();
  }
  errno = 0;
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// Children started as the collector is: a program, in a process group of
// its own beside the wizard.
// The lines the child writes before its output ends, waiting at most
// about five seconds.
std::vector<std::string> readLines(Child& child, size_t wanted) {
  std::vector<std::string> lines;
  std::string pending;
  for (int i = 0; i < 50 && lines.size() < wanted; ++i) {
    if (readPipeLines(child.outputFd(), pending, lines, 4095) != PipeState::kOpen) break;
    struct pollfd waitFor = {child.outputFd(), POLLIN, 0};
    poll(&waitFor, 1, 100);
  }
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
  }
  return lines;
}

int startShell(Child& child, const char* script, bool ownGroup) {
  return child.startProgram({"/bin/sh", "-c", script}, ownGroup);
}

TEST(CollectorGroup, OnlyTheWizardsCollectorLeavesTheTerminalGroup) {
  const struct {
    bool ownGroup;
    bool leadsItsGroup;
    const char* stdinTarget;
  } cases[] = {{true, true, "/dev/null"}, {false, false, nullptr}};
  for (const auto& c : cases) {
    Child child;
    ASSERT_EQ(startShell(child, "cut -d' ' -f5 /proc/$$/stat; readlink /proc/$$/fd/0",
                         c.ownGroup),
              0);
    std::vector<std::string> lines = readLines(child, 2);
    int status = -1;
    EXPECT_EQ(child.closeAndReap(&status), 0);
    EXPECT_EQ(status, 0);
    ASSERT_GE(lines.size(), 1u);
    int group = std::stoi(lines[0]);
    EXPECT_EQ(group == child.pid(), c.leadsItsGroup) << "own group " << c.ownGroup;
    if (!c.leadsItsGroup) {
      EXPECT_EQ(group, getpgrp());
    }
    if (c.stdinTarget) {
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[1], c.stdinTarget);
    }
  }
}

TEST(CollectorGroup, StoppingTheGroupStopsWhatTheCollectorStarted) {
  // Orphans come back to us, so that their end can be seen.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  Child child;
  ASSERT_EQ(startShell(child, "sleep 300 & echo $!; wait", true), 0);
  std::vector<std::string> lines = readLines(child, 1);
  ASSERT_EQ(lines.size(), 1u);
  pid_t helper = std::stoi(lines[0]);
  EXPECT_EQ(getpgid(helper), child.pid());

  child.stop(kStopGraceMillis);
  EXPECT_EQ(child.outputFd(), -1);
  int helperStatus = 0;
  pid_t reaped = 0;
  for (int i = 0; i < 500 && reaped == 0; ++i) {
    reaped = waitpid(helper, &helperStatus, WNOHANG);
    if (reaped == 0) usleep(10000);
  }
  if (reaped == 0) kill(helper, SIGKILL);
  ASSERT_EQ(reaped, helper) << "the collector's own child outlived it";
  EXPECT_TRUE(WIFSIGNALED(helperStatus) && WTERMSIG(helperStatus) == SIGTERM);
  prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST(StartProgram, MissingProgramExitsWith255AndArgumentsPassThrough) {
  Child missing;
  ASSERT_EQ(missing.startProgram({"/nonexistent/collector"}, false), 0);
  int status = 0;
  EXPECT_EQ(missing.closeAndReap(&status), 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);

  Child echo;
  ASSERT_EQ(echo.startProgram({"/bin/sh", "-c", "echo \"$0|$1\"", "-d", "dir"}, false), 0);
  EXPECT_EQ(readLines(echo, 1), std::vector<std::string>{"-d|dir"});
  EXPECT_EQ(echo.closeAndReap(&status), 0);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace cvreport
