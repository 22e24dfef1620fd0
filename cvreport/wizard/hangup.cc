#include "wizard/hangup.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "run/interrupt.h"

namespace cvreport {
namespace {

// A terminal reports nothing but a hangup when no event is asked for.
bool hangupWithin(int millis) {
  struct pollfd terminal = {STDIN_FILENO, 0, 0};
  int ready;
  while ((ready = poll(&terminal, 1, millis)) < 0 && errno == EINTR) {
  }
  return ready > 0 && (terminal.revents & (POLLHUP | POLLERR));
}

void* waitForHangup(void*) {
  if (hangupWithin(-1)) kill(getpid(), SIGHUP);
  return nullptr;
}

}  // namespace

void watchTerminalHangup() {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  // Detached: it waits for as long as the process lives. Without it the
  // checks of terminalHungUp still keep newt from spinning.
  pthread_t thread;
  if (pthread_create(&thread, nullptr, waitForHangup, nullptr) == 0) pthread_detach(thread);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

bool terminalHungUp() {
  if (!hangupWithin(0)) return false;
  // A run already interrupted is ending: its clean-up must go on.
  if (pendingInterrupt() == 0) raise(SIGHUP);
  return true;
}

}  // namespace cvreport
