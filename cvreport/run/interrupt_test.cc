#include "run/interrupt.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cvreport {
namespace {

// A signal while watching is recorded, not fatal, and reaches the named
// child; once no longer watching, the signal's earlier action is back.
TEST(Interrupts, RecordForwardAndRestore) {
  signal(SIGHUP, SIG_IGN);
  watchInterrupts();
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    resetInterruptHandling();
    if (write(pipeFds[1], "x", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  setInterruptTarget(child);
  // The child's byte says its reset came before the signal it is sent.
  EXPECT_TRUE(waitForInputUnlessInterrupted(pipeFds[0]));
  ASSERT_EQ(raise(SIGTERM), 0);
  EXPECT_EQ(pendingInterrupt(), SIGTERM);
  // A signal already received ends a wait for input that would never come.
  char byte;
  ASSERT_EQ(read(pipeFds[0], &byte, 1), 1);
  EXPECT_FALSE(waitForInputUnlessInterrupted(pipeFds[0]));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);

  // The first signal is the one reported.
  setInterruptTarget(0);
  ASSERT_EQ(raise(SIGINT), 0);
  EXPECT_EQ(pendingInterrupt(), SIGTERM);
  EXPECT_EQ(interruptedText(pendingInterrupt()), "Report interrupted by SIGTERM: nothing was sent.");

  stopWatchingInterrupts();
  struct sigaction now;
  ASSERT_EQ(sigaction(SIGHUP, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
}

}  // namespace
}  // namespace cvreport
