// Child processes whose standard output is piped back to cvreport: the
// collector and the upload worker. Their standard error goes to the log.
// Both front ends start, follow, stop and reap their children through here
// (the collector's start is in submit/collector.h).
#pragma once

#include <stdio.h>

#include <functional>
#include <string>

namespace cvreport {

// Owns the parent's end of the pipe and the child: when the owner goes, the
// stream is closed and the child reaped (in the parent only; the child's
// copy is never destroyed, since the child ends with exitChild).
struct ChildProcess {
  ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&&) = delete;
  ChildProcess(const ChildProcess&) = delete;
  ~ChildProcess();

  std::string message;   // why the start failed; empty when it did not
  int errorNumber = -1;  // the errno saved with message, -1 when none
  FILE* stream = nullptr;  // parent's end of the pipe
  int pid = -1;            // 0 inside the child, -1 before the start
  bool reaped = false;
  int parentPid = -1;  // the process that owns this record
};

// Returns in both processes: in the parent 0 when the child runs, -1 when it
// could not be started (message and errorNumber say why; logged here, the
// front end shows it); in the child (pid 0) 0 when stdout is the pipe.
int forkWithPipe(ChildProcess& child, bool nonBlockingRead);
enum class ChildState { kRunning, kExited, kWaitFailed };

// Whether the child has exited, without waiting; kWaitFailed is logged here
// with its errno kept for the caller's message.
ChildState pollChildExit(ChildProcess& child, int* status);
// Closes the stream and waits for the child; the fclose result (a failed
// close leaves *status untouched). A failed wait is logged here.
int closeAndReap(ChildProcess& child, int* status);
// SIGKILL to the child; -1 when pid is not positive or kill fails. Silent.
int killChild(ChildProcess& child);
// SIGKILL to the child's process group; -1 when pid is not positive.
int killChildGroup(ChildProcess& child);
// How long a stopped child gets to end by itself: the collector stops every
// command it started in that time.
inline constexpr int kStopGraceMillis = 5000;
// Stops a child that must not go on: SIGTERM (to its process group when
// group is set), up to graceMillis for it to end, then SIGKILL; its output
// meanwhile is read and dropped so that it never blocks on the pipe. The
// child is reaped. Silent.
void stopChild(ChildProcess& child, bool group, int graceMillis);

// Called with all of the output so far and the position up to which it has
// been looked at, whenever more has arrived.
using OutputFollower = std::function<void(const std::string& collected, size_t& scanPos)>;
// Collects the worker's output until it has exited, draining the pipe all
// along so that the worker never blocks on it; the output written right
// before the exit is kept. kWaitFailed keeps the wait's errno.
ChildState waitForWorker(ChildProcess& worker, int* status, std::string& collected,
                         const OutputFollower& follow);
// The console's wait on the worker, whose pipe stream is: prints "Upload
// progress: N%" on stdout per complete "PROGRESS=" line;
// the worker's pid once it has exited, -1 when the wait failed (errno kept).
int followUploadProgress(ChildProcess& child, int* status, FILE* stream, std::string& collected);

// In a child: points the standard descriptor target at /dev/null, opened
// with flags; left as it is when /dev/null cannot be opened.
void redirectToDevNull(int target, int flags);

// Ends a child process: flushes its own stdout, then leaves without running
// the parent's at-exit handlers, destructors or flushing its other buffers.
[[noreturn]] void exitChild(int status);

}  // namespace cvreport
