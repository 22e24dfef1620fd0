#include "submit/child.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "run/log.h"
#include "submit/progress.h"

namespace cvreport {
namespace {

constexpr int kPollMillis = 200;

void setupChildSide(ChildProcess& child) {
  close(child.readFd);
  if (redirectToLog(STDERR_FILENO) != 0) {
    int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
      dup2(devNull, STDERR_FILENO);
      if (devNull != STDERR_FILENO) close(devNull);
    }
  }
}

// Appends what the pipe holds now. False at end of file or on an error other
// than "nothing yet"; gotData tells whether anything arrived.
bool readAvailable(int fd, std::string& collected, bool& gotData) {
  char buffer[65536];
  gotData = false;
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      collected.append(buffer, static_cast<size_t>(n));
      gotData = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

// Both sides set the group, so that it exists whichever runs first.
void leaveTerminalGroup(ChildProcess& child) {
  if (child.pid > 0) {
    setpgid(child.pid, child.pid);
    return;
  }
  setpgid(0, 0);
  int devNull = open("/dev/null", O_RDONLY);
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
    if (devNull != STDIN_FILENO) close(devNull);
  }
}

int startCollectorProcess(ChildProcess& child, const char* path, char* const argv[],
                          bool nonBlockingRead, bool ownGroup) {
  int result = forkWithPipe(child, nonBlockingRead);
  if (ownGroup && result == 0) leaveTerminalGroup(child);
  if (child.pid != 0) return result;
  if (result == 0) {
    if (child.writeFd != STDOUT_FILENO) close(child.writeFd);
    execv(path, argv);
    logMessage("Error: Can't execute an information collector: %m");
  }
  _exit(255);
}

}  // namespace

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
  child.readFd = fds[0];
  child.writeFd = fds[1];
  // Whatever the parent has buffered must not be written a second time by
  // the child.
  fflush(stdout);
  fflush(stderr);
  int pid = fork();
  int forkErrno = errno;
  child.pid = pid;

  if (pid != 0) {
    close(child.writeFd);
    if (pid < 0) {
      close(child.readFd);
      child.message = "Can't fork";
      child.errorNumber = forkErrno;
      logMessage("%s: %s", child.message.c_str(), strerror(forkErrno));
      return -1;
    }
    // The parent's end must not leak into later children.
    fcntl(child.readFd, F_SETFD, FD_CLOEXEC);
    if (nonBlockingRead) fcntl(child.readFd, F_SETFL, fcntl(child.readFd, F_GETFL) | O_NONBLOCK);
    child.stream = fdopen(child.readFd, "rb");
    if (!child.stream) {
      child.errorNumber = errno;
      killChild(child);
      waitpid(child.pid, nullptr, 0);
      child.message = "Can't create a pipe";
      logMessage("Can't create a pipe");
      return -1;
    }
    return 0;
  }

  setupChildSide(child);
  if (dup2(child.writeFd, STDOUT_FILENO) != STDOUT_FILENO) return -1;
  return 0;
}

int startCollector(ChildProcess& child, const char* path, char* const argv[],
                   bool nonBlockingRead) {
  return startCollectorProcess(child, path, argv, nonBlockingRead, false);
}

int startCollectorInOwnGroup(ChildProcess& child, const char* path, char* const argv[],
                             bool nonBlockingRead) {
  return startCollectorProcess(child, path, argv, nonBlockingRead, true);
}

int pollChildExit(ChildProcess& child, int* status) {
  int result = waitpid(child.pid, status, WNOHANG);
  if (result < 0) logMessage("Fatal error: %m");
  return result;
}

int closeAndReap(ChildProcess& child, int* status) {
  int result = fclose(child.stream);
  child.stream = nullptr;
  int waitStatus = 0;
  int reaped;
  do {
    reaped = waitpid(child.pid, &waitStatus, 0);
  } while (reaped < 0 && errno == EINTR);
  if (reaped < 0) logMessage("Fatal error: %m");
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

int followUploadProgress(ChildProcess& child, int* status, FILE* stream, std::string& collected) {
  int fd = fileno(stream);
  size_t scanPos = 0;
  bool gotData = false;
  for (;;) {
    int exited = pollChildExit(child, status);
    if (exited != 0) {
      // The child is gone: whatever it wrote is in the pipe now. The caller
      // reports the wait's own error, so draining must not replace it.
      int waitErrno = errno;
      readAvailable(fd, collected, gotData);
      printCompleteProgressLines(collected, scanPos, stdout);
      fflush(stdout);
      errno = waitErrno;
      return exited;
    }
    bool open = readAvailable(fd, collected, gotData);
    if (gotData) {
      printCompleteProgressLines(collected, scanPos, stdout);
      fflush(stdout);
      continue;
    }
    if (open) {
      struct pollfd waitFor = {fd, POLLIN, 0};
      poll(&waitFor, 1, kPollMillis);
    } else {
      // End of file: the worker is on its way out; wait for its exit
      // without spinning.
      usleep(10000);
    }
  }
}

}  // namespace cvreport
