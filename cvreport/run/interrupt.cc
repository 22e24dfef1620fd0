#include "run/interrupt.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <time.h>

namespace cvreport {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t gPending = 0;
volatile sig_atomic_t gTarget = 0;
struct sigaction gPrevious[3];
bool gWatching = false;

void onInterrupt(int signalNumber) {
  if (gPending == 0) gPending = signalNumber;
  pid_t target = gTarget;
  if (target != 0) kill(target, signalNumber);
}

}  // namespace

void watchInterrupts() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a poll or read waiting for a child must come back and
  // let the front end see the signal.
  for (size_t i = 0; i < 3; ++i) {
    sigaction(kSignals[i], &action, gWatching ? nullptr : &gPrevious[i]);
  }
  gWatching = true;
}

void stopWatchingInterrupts() {
  if (!gWatching) return;
  gTarget = 0;
  for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
  gWatching = false;
}

int pendingInterrupt() { return gPending; }

bool pauseUnlessInterrupted(int seconds) {
  // Blocked while gPending is looked at, and let through only inside
  // ppoll: a signal between the look and the wait still ends the wait.
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  for (int signalNumber : kSignals) sigaddset(&blocked, signalNumber);
  sigprocmask(SIG_BLOCK, &blocked, &previous);
  struct timespec now, end;
  clock_gettime(CLOCK_MONOTONIC, &end);
  end.tv_sec += seconds;
  for (;;) {
    if (gPending != 0) break;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long leftNanos = (end.tv_sec - now.tv_sec) * 1000000000LL + (end.tv_nsec - now.tv_nsec);
    if (leftNanos <= 0) break;
    struct timespec left = {static_cast<time_t>(leftNanos / 1000000000LL),
                            static_cast<long>(leftNanos % 1000000000LL)};
    if (ppoll(nullptr, 0, &left, &previous) < 0 && errno != EINTR) break;
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  return gPending == 0;
}

void setInterruptTarget(pid_t target) { gTarget = target; }

const char* interruptName(int signalNumber) {
  switch (signalNumber) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

std::string interruptedText(int signalNumber) {
  return std::string("Report interrupted by ") + interruptName(signalNumber) +
         ": nothing was sent.";
}

void resetInterruptHandling() {
  gTarget = 0;
  for (int signalNumber : kSignals) signal(signalNumber, SIG_DFL);
}

}  // namespace cvreport
