#include "submit/child.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <utility>

#include "run/interrupt.h"
#include "run/log.h"
#include "run/unique_handles.h"
#include "submit/pipe_reader.h"
#include "submit/progress.h"

namespace cvreport {
namespace {

constexpr int kPollMillis = 100;

// In the child: settles its copies of the pipe's ends here, so that the
// owners in forkWithPipe have nothing left to do when it returns.
int setupChildSide(UniqueFd& readEnd, UniqueFd& writeEnd, int parentPid) {
  readEnd.reset();
  resetInterruptHandling();
  // A child whose cvreport is gone has no one to report to: the upload
  // would file a report nobody sees, the collector fill a directory nobody
  // removes. The collector stops the commands it started on SIGTERM.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parentPid) exitChild(1);
  if (redirectToLog(STDERR_FILENO) != 0) redirectToDevNull(STDERR_FILENO, O_WRONLY);
  if (dup2(writeEnd.get(), STDOUT_FILENO) != STDOUT_FILENO) {
    writeEnd.release();
    return -1;
  }
  if (writeEnd.get() == STDOUT_FILENO) {
    writeEnd.release();
  } else {
    writeEnd.reset();
  }
  return 0;
}

int reap(ChildProcess& child, int* waitStatus) {
  int reaped;
  do {
    reaped = waitpid(child.pid, waitStatus, 0);
  } while (reaped < 0 && errno == EINTR);
  child.reaped = true;
  return reaped;
}

}  // namespace

ChildProcess::ChildProcess() : parentPid(getpid()) {}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : message(std::move(other.message)),
      errorNumber(other.errorNumber),
      stream(std::exchange(other.stream, nullptr)),
      pid(std::exchange(other.pid, -1)),
      reaped(other.reaped),
      parentPid(other.parentPid) {}

ChildProcess::~ChildProcess() {
  if (getpid() != parentPid) return;
  UniqueFile owned(std::exchange(stream, nullptr));
  owned.close();
  int ignored = 0;
  if (pid > 0 && !reaped) reap(*this, &ignored);
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

int forkWithPipe(ChildProcess& child, bool nonBlockingRead) {
  int fds[2];
  if (pipe(fds) != 0) {
    child.errorNumber = errno;
    child.message = "Can't create a pipe";
    logMessage("%s: %s", child.message.c_str(), strerror(child.errorNumber));
    return -1;
  }
  UniqueFd readEnd(fds[0]);
  UniqueFd writeEnd(fds[1]);
  // Whatever the parent has buffered must not be written a second time by
  // the child.
  fflush(stdout);
  fflush(stderr);
  int pid = fork();
  int forkErrno = errno;
  child.pid = pid;
  if (pid == 0) return setupChildSide(readEnd, writeEnd, child.parentPid);

  writeEnd.reset();
  if (pid < 0) {
    child.message = "Can't fork";
    child.errorNumber = forkErrno;
    logMessage("%s: %s", child.message.c_str(), strerror(forkErrno));
    return -1;
  }
  // The parent's end must not leak into later children.
  fcntl(readEnd.get(), F_SETFD, FD_CLOEXEC);
  if (nonBlockingRead) fcntl(readEnd.get(), F_SETFL, fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
  child.stream = fdopen(readEnd.get(), "rb");
  if (!child.stream) {
    child.errorNumber = errno;
    killChild(child);
    reap(child, nullptr);
    child.message = "Can't create a pipe";
    logMessage("Can't create a pipe");
    return -1;
  }
  readEnd.release();  // the stream owns it now
  return 0;
}

ChildState pollChildExit(ChildProcess& child, int* status) {
  int result = waitpid(child.pid, status, WNOHANG);
  if (result == 0) return ChildState::kRunning;
  if (result < 0) {
    logMessage("Fatal error: %m");
    return ChildState::kWaitFailed;
  }
  child.reaped = true;
  return ChildState::kExited;
}

int closeAndReap(ChildProcess& child, int* status) {
  UniqueFile owned(std::exchange(child.stream, nullptr));
  int result = owned.close();
  // A child already reaped by pollChildExit has no status left to give.
  if (child.reaped || child.pid <= 0) return result;
  int waitStatus = 0;
  if (reap(child, &waitStatus) < 0) logMessage("Fatal error: %m");
  if (result == 0 && status) *status = waitStatus;
  return result;
}

int killChild(ChildProcess& child) {
  if (child.pid <= 0) return -1;
  return kill(child.pid, SIGKILL);
}

int killChildGroup(ChildProcess& child) {
  if (child.pid <= 0) return -1;
  return kill(-child.pid, SIGKILL);
}

void stopChild(ChildProcess& child, bool group, int graceMillis) {
  if (child.pid <= 0 || child.reaped) return;
  kill(group ? -child.pid : child.pid, SIGTERM);
  int fd = child.stream ? fileno(child.stream) : -1;
  if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::string dropped;
  int status = 0;
  for (int waited = 0; waited < graceMillis; waited += kPollMillis) {
    if (pollChildExit(child, &status) != ChildState::kRunning) break;
    if (fd >= 0) {
      drainPipe(fd, dropped);
      dropped.clear();
    }
    struct timespec pause = {0, kPollMillis * 1000000L};
    nanosleep(&pause, nullptr);
  }
  if (!child.reaped) {
    if (group) {
      killChildGroup(child);
    } else {
      killChild(child);
    }
  }
  closeAndReap(child, nullptr);
}

ChildState waitForWorker(ChildProcess& worker, int* status, std::string& collected,
                         const OutputFollower& follow) {
  int fd = fileno(worker.stream);
  size_t scanPos = 0;
  for (;;) {
    ChildState state = pollChildExit(worker, status);
    // Once the worker is gone, whatever it wrote is in the pipe. The caller
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

int followUploadProgress(ChildProcess& child, int* status, FILE* stream, std::string& collected) {
  // stream is the child's own pipe, which waitForWorker reads.
  if (stream != child.stream) return -1;
  ChildState state =
      waitForWorker(child, status, collected, [](const std::string& text, size_t& scanPos) {
        printCompleteProgressLines(text, scanPos, stdout);
        fflush(stdout);
      });
  return state == ChildState::kExited ? child.pid : -1;
}

}  // namespace cvreport
