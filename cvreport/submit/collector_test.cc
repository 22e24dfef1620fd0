// The collector as the front ends start and stop it.
#include "submit/collector.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "submit/pipe_reader.h"

namespace cvreport {
namespace {

// The lines the child writes before its output ends, waiting at most
// about five seconds.
std::vector<std::string> readLines(ChildProcess& child, size_t wanted) {
  std::vector<std::string> lines;
  std::string pending;
  for (int i = 0; i < 50 && lines.size() < wanted; ++i) {
    if (readPipeLines(fileno(child.stream), pending, lines, 4095) != PipeState::kOpen) break;
    struct pollfd waitFor = {fileno(child.stream), POLLIN, 0};
    poll(&waitFor, 1, 100);
  }
  return lines;
}

int startShell(ChildProcess& child, const char* script, bool ownGroup) {
  static char shell[] = "/bin/sh";
  static char dashC[] = "-c";
  std::string copy = script;
  char* const argv[] = {shell, dashC, &copy[0], nullptr};
  return ownGroup ? startCollectorInOwnGroup(child, shell, argv, true)
                  : startCollector(child, shell, argv, true);
}

TEST(CollectorGroup, OnlyTheWizardsCollectorLeavesTheTerminalGroup) {
  const struct {
    bool ownGroup;
    bool leadsItsGroup;
    const char* stdinTarget;
  } cases[] = {{true, true, "/dev/null"}, {false, false, nullptr}};
  for (const auto& c : cases) {
    ChildProcess child;
    ASSERT_EQ(startShell(child, "cut -d' ' -f5 /proc/$$/stat; readlink /proc/$$/fd/0",
                         c.ownGroup),
              0);
    std::vector<std::string> lines = readLines(child, 2);
    int status = -1;
    EXPECT_EQ(closeAndReap(child, &status), 0);
    EXPECT_EQ(status, 0);
    ASSERT_GE(lines.size(), 1u);
    int group = std::stoi(lines[0]);
    EXPECT_EQ(group == child.pid, c.leadsItsGroup) << "own group " << c.ownGroup;
    if (!c.leadsItsGroup) {
      EXPECT_EQ(group, getpgrp());
    }
    if (c.stdinTarget) {
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[1], c.stdinTarget);
    }
  }
}

TEST(CollectorGroup, KillingTheGroupStopsWhatTheCollectorStarted) {
  // Orphans come back to us, so that their end can be seen.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  ChildProcess child;
  ASSERT_EQ(startShell(child, "sleep 300 & echo $!; wait", true), 0);
  std::vector<std::string> lines = readLines(child, 1);
  ASSERT_EQ(lines.size(), 1u);
  pid_t helper = std::stoi(lines[0]);
  EXPECT_EQ(getpgid(helper), child.pid);

  EXPECT_EQ(killChildGroup(child), 0);
  int status = 0;
  EXPECT_EQ(closeAndReap(child, &status), 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  int helperStatus = 0;
  pid_t reaped = 0;
  for (int i = 0; i < 500 && reaped == 0; ++i) {
    reaped = waitpid(helper, &helperStatus, WNOHANG);
    if (reaped == 0) usleep(10000);
  }
  if (reaped == 0) kill(helper, SIGKILL);
  ASSERT_EQ(reaped, helper) << "the collector's own child outlived it";
  EXPECT_TRUE(WIFSIGNALED(helperStatus) && WTERMSIG(helperStatus) == SIGKILL);
  prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST(CollectorGroup, NoGroupIsKilledWithoutAChild) {
  for (int pid : {-1, 0}) {
    ChildProcess child;
    child.pid = pid;
    EXPECT_EQ(killChildGroup(child), -1) << pid;
  }
}

TEST(StartCollector, MissingProgramExitsWith255AndArgumentsPassThrough) {
  char path[] = "/nonexistent/collector";
  char* argv[] = {path, nullptr};
  ChildProcess missing;
  ASSERT_EQ(startCollector(missing, path, argv, false), 0);
  int status = 0;
  EXPECT_EQ(closeAndReap(missing, &status), 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);

  char sh[] = "/bin/sh", dashC[] = "-c", script[] = "echo \"$0|$1\"", a[] = "-d", b[] = "dir";
  char* args[] = {sh, dashC, script, a, b, nullptr};
  ChildProcess echo;
  ASSERT_EQ(startCollector(echo, sh, args, false), 0);
  char line[256] = {};
  ASSERT_NE(fgets(line, sizeof line, echo.stream), nullptr);
  EXPECT_STREQ(line, "-d|dir\n");
  EXPECT_EQ(closeAndReap(echo, &status), 0);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace cvreport
