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

namespace {

// Waits until fd (unless -1) can be read or the deadline (unless null) has
// passed, or a watched signal is or was received. The signals are blocked
// while gPending is looked at and let through only inside ppoll: one that
// comes between the look and the wait still ends the wait.
void waitUnlessInterrupted(int fd, const struct timespec* end) {
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  for (int signalNumber : kSignals) sigaddset(&blocked, signalNumber);
  sigprocmask(SIG_BLOCK, &blocked, &previous);
  struct pollfd input = {fd, POLLIN, 0};
  while (gPending == 0) {
    struct timespec now, left;
    if (end) {
      clock_gettime(CLOCK_MONOTONIC, &now);
      long long leftNanos = (end->tv_sec - now.tv_sec) * 1000000000LL + (end->tv_nsec - now.tv_nsec);
      if (leftNanos <= 0) break;
      left = {static_cast<time_t>(leftNanos / 1000000000LL),
              static_cast<long>(leftNanos % 1000000000LL)};
    }
    int ready = ppoll(fd >= 0 ? &input : nullptr, fd >= 0 ? 1 : 0, end ? &left : nullptr, &previous);
    if (ready > 0 || (ready < 0 && errno != EINTR)) break;
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

bool pauseUnlessInterrupted(int seconds) {
  struct timespec end;
  clock_gettime(CLOCK_MONOTONIC, &end);
  end.tv_sec += seconds;
  waitUnlessInterrupted(-1, &end);
  return gPending == 0;
}

bool waitForInputUnlessInterrupted(int fd) {
  waitUnlessInterrupted(fd, nullptr);
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
