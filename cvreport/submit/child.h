// Child processes whose standard output is piped back to cvreport: the
// collector and the upload worker. Their standard error goes to the log.
// Both front ends reach them only through runCollector and runUpload.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "run/unique_handles.h"

namespace cvreport {

enum class ChildState { kRunning, kExited, kWaitFailed };

// How long a stopped child gets to end by itself: the collector stops every
// command it started in that time.
inline constexpr int kStopGraceMillis = 5000;
// The exit status of a child whose plumbing could not be set up.
inline constexpr int kChildSetupFailed = 1;

// Called with all of the output so far and the position up to which it has
// been looked at, whenever more has arrived.
using OutputFollower = std::function<void(const std::string& collected, size_t& scanPos)>;

// One child and the parent's end of its output pipe, which is read without
// ever blocking. start returns in the parent only: the child runs the body
// it is given and ends with exitChild. When the owner goes, the pipe is
// closed and the child reaped (in the process that started it only).
class Child {
 public:
  Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  // Forks a child whose stdout is the pipe and whose stderr is the log (or
  // /dev/null), and which ends when cvreport does; it runs body and exits
  // with 0 when body returns. With ownGroup it leads a process group of its
  // own, which stop and signal reach whole, and reads /dev/null rather than
  // the terminal. 0 when the child runs; -1 when it could not be started
  // (failure() and errorNumber() say why; logged here).
  int start(const std::function<void()>& body, bool ownGroup);
  // As start, for a program: arguments[0] is its path. A program that
  // cannot be executed is logged and its child exits with 255.
  int startProgram(const std::vector<std::string>& arguments, bool ownGroup);

  pid_t pid() const { return pid_; }
  // The parent's end of the pipe, -1 once closed.
  int outputFd() const { return output_.get(); }
  const std::string& failure() const { return failure_; }
  int errorNumber() const { return errorNumber_; }

  // Sends the signal to the child (its group with ownGroup); silent.
  void signal(int signalNumber);
  // Passes the run's interrupts on to the child (its group with ownGroup).
  void forwardInterrupts();
  // Whether the child has exited, without waiting; kWaitFailed is logged
  // here with its errno kept for the caller's message.
  ChildState poll(int* status);
  // Closes the pipe and waits for the child; the close result (a failed
  // close leaves *status untouched). A failed wait is logged here.
  int closeAndReap(int* status);
  // Stops a child that must not go on: SIGTERM, up to graceMillis for it to
  // end, then SIGKILL; its output meanwhile is read and dropped so that it
  // never blocks on the pipe. The child is reaped. Silent.
  void stop(int graceMillis);
  // Collects the output until the child has exited, draining the pipe all
  // along so that the child never blocks on it; the output written right
  // before the exit is kept. kWaitFailed keeps the wait's errno.
  ChildState waitCollecting(int* status, std::string& collected, const OutputFollower& follow);

 private:
  int fail(const char* message, int errorNumber);
  int reap(int* waitStatus);
  pid_t target() const { return ownGroup_ ? -pid_ : pid_; }

  pid_t owner_;
  pid_t pid_ = -1;
  bool ownGroup_ = false;
  bool reaped_ = false;
  UniqueFd output_;
  std::string failure_;
  int errorNumber_ = -1;
};

// In a child: points the standard descriptor target at /dev/null, opened
// with flags; left as it is when /dev/null cannot be opened.
void redirectToDevNull(int target, int flags);

// Ends a child process: flushes its own stdout, then leaves without running
// the parent's at-exit handlers, destructors or flushing its other buffers.
[[noreturn]] void exitChild(int status);

}  // namespace cvreport
