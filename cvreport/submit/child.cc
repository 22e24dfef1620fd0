#include "submit/child.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "run/interrupt.h"
#include "run/log.h"
#include "submit/pipe_reader.h"

namespace cvreport {
namespace {

constexpr int kPollMillis = 100;

// In the child: settles its copies of the pipe's ends, so that stdout is
// the pipe and no other copy of either end is left open.
int setupChildSide(UniqueFd& readEnd, UniqueFd& writeEnd, pid_t parentPid) {
  readEnd.reset();
  resetInterruptHandling();
  // A child whose cvreport is gone has no one to report to: the upload
  // would file a report nobody sees, the collector fill a directory nobody
  // removes. The collector stops the commands it started on SIGTERM.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parentPid) return -1;
  if (redirectToLog(STDERR_FILENO) != 0) redirectToDevNull(STDERR_FILENO, O_WRONLY);
  if (dup2(writeEnd.get(), STDOUT_FILENO) != STDOUT_FILENO) return -1;
  if (writeEnd.get() == STDOUT_FILENO) {
    writeEnd.release();
  } else {
    writeEnd.reset();
  }
  return 0;
}

[[noreturn]] void runChild(UniqueFd& readEnd, UniqueFd& writeEnd, pid_t parentPid,
                           bool ownGroup, const std::function<void()>& body) {
  if (setupChildSide(readEnd, writeEnd, parentPid) != 0) exitChild(kChildSetupFailed);
  if (ownGroup) {
    // Both sides set the group, so that it exists whichever runs first.
    setpgid(0, 0);
    redirectToDevNull(STDIN_FILENO, O_RDONLY);
  }
  body();
  exitChild(0);
}

}  // namespace

Child::Child() : owner_(getpid()) {}

Child::~Child() {
  if (getpid() != owner_) return;
  output_.reset();
  if (pid_ > 0 && !reaped_) reap(nullptr);
}

int Child::fail(const char* message, int errorNumber) {
  failure_ = message;
  errorNumber_ = errorNumber;
  logMessage("%s: %s", message, strerror(errorNumber));
  return -1;
}

int Child::reap(int* waitStatus) {
  int reaped;
  do {
    reaped = waitpid(pid_, waitStatus, 0);
  } while (reaped < 0 && errno == EINTR);
  reaped_ = true;
  return reaped;
}

int Child::start(const std::function<void()>& body, bool ownGroup) {
  int fds[2];
  if (pipe(fds) != 0) return fail("Can't create a pipe", errno);
  UniqueFd readEnd(fds[0]);
  UniqueFd writeEnd(fds[1]);
  // Whatever the parent has buffered must not be written a second time by
  // the child.
  fflush(stdout);
  fflush(stderr);
  pid_t parentPid = getpid();
  pid_t pid = fork();
  if (pid == 0) runChild(readEnd, writeEnd, parentPid, ownGroup, body);
  if (pid < 0) return fail("Can't fork", errno);
  writeEnd.reset();
  pid_ = pid;
  ownGroup_ = ownGroup;
  if (ownGroup) setpgid(pid, pid);
  // The parent's end must not leak into later children.
  fcntl(readEnd.get(), F_SETFD, FD_CLOEXEC);
  fcntl(readEnd.get(), F_SETFL, fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
  output_.reset(readEnd.release());
  return 0;
}

int Child::startProgram(const std::vector<std::string>& arguments, bool ownGroup) {
  std::vector<std::string> words = arguments;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  return start(
      [&argv] {
        execv(argv[0], argv.data());
        logMessage("Error: Can't execute an information collector: %m");
        exitChild(255);
      },
      ownGroup);
}

void Child::signal(int signalNumber) {
  if (pid_ > 0 && !reaped_) kill(target(), signalNumber);
}

void Child::forwardInterrupts() { setInterruptTarget(target()); }

ChildState Child::poll(int* status) {
  int result = waitpid(pid_, status, WNOHANG);
  if (result == 0) return ChildState::kRunning;
  if (result < 0) {
    logMessage("Fatal error: %m");
    return ChildState::kWaitFailed;
  }
  reaped_ = true;
  return ChildState::kExited;
}

int Child::closeAndReap(int* status) {
  int result = output_.reset();
  // A child already reaped by poll has no status left to give.
  if (reaped_ || pid_ <= 0) return result;
  int waitStatus = 0;
  if (reap(&waitStatus) < 0) logMessage("Fatal error: %m");
  if (result == 0 && status) *status = waitStatus;
  return result;
}

void Child::stop(int graceMillis) {
  if (pid_ <= 0 || reaped_) return;
  signal(SIGTERM);
  int fd = output_.get();
  std::string dropped;
  int status = 0;
  for (int waited = 0; waited < graceMillis; waited += kPollMillis) {
    if (poll(&status) != ChildState::kRunning) break;
    if (fd >= 0) {
      drainPipe(fd, dropped);
      dropped.clear();
    }
    struct timespec pause = {0, kPollMillis * 1000000L};
    nanosleep(&pause, nullptr);
  }
  signal(SIGKILL);
  closeAndReap(nullptr);
}

ChildState Child::waitCollecting(int* status, std::string& collected,
                                 const OutputFollower& follow) {
  int fd = output_.get();
  size_t scanPos = 0;
  for (;;) {
    ChildState state = poll(status);
    // Once the child is gone, whatever it wrote is in the pipe. The caller
    // reports the wait's own error, so draining must not replace it.
    int waitErrno = errno;
    PipeState pipe = drainPipe(fd, collected);
    follow(collected, scanPos);
    if (state != ChildState::kRunning) {
      errno = waitErrno;
      return state;
    }
    if (pipe == PipeState::kOpen) {
      waitForPipe(fd, kPollMillis);
    } else {
      usleep(10000);  // the output has ended and the exit is due
    }
  }
}

void redirectToDevNull(int target, int flags) {
  UniqueFd devNull(open("/dev/null", flags));
  if (!devNull.valid()) return;
  dup2(devNull.get(), target);
  if (devNull.get() == target) devNull.release();
}

void exitChild(int status) {
  fflush(stdout);
  _exit(status);
}

}  // namespace cvreport
