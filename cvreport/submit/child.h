// Child processes whose standard output is piped back to cvreport: the
// collector and the upload worker. Their standard error goes to the log.
#pragma once

#include <stdio.h>

#include <string>

namespace cvreport {

struct ChildProcess {
  std::string message;   // why the start failed; empty when it did not
  int errorNumber = -1;  // the errno saved with message, -1 when none
  int readFd = -1;
  int writeFd = -1;
  FILE* stream = nullptr;  // parent's end of the pipe; closed by the user
  int pid = -1;            // 0 inside the child, -1 before the start
};

// Returns in both processes: in the parent 0 when the child runs, -1 when it
// could not be started; in the child (pid 0) 0 when stdout is the pipe.
int forkWithPipe(ChildProcess& child, bool nonBlockingRead);
// Parent only; the child execs the program or exits with 255.
int startCollector(ChildProcess& child, const char* path, char* const argv[],
                   bool nonBlockingRead);
// As startCollector, for a collector that runs beside a full-screen
// interface: it leads a process group of its own, so that killChildGroup
// stops it together with everything it started, and it reads /dev/null
// rather than the terminal.
int startCollectorInOwnGroup(ChildProcess& child, const char* path, char* const argv[],
                             bool nonBlockingRead);
// 0 while the child runs, its pid once it has exited, -1 on error.
int pollChildExit(ChildProcess& child, int* status);
int closeAndReap(ChildProcess& child, int* status);
int killChild(ChildProcess& child);
// SIGKILL to the child's process group; -1 when pid is not positive.
int killChildGroup(ChildProcess& child);
// Collects the worker's output until it exits, printing a line per complete
// "PROGRESS=" line; returns the final pollChildExit result.
int followUploadProgress(ChildProcess& child, int* status, FILE* stream, std::string& collected);

// Ends a child process: flushes its own stdout, then leaves without running
// the parent's at-exit handlers or flushing the parent's other buffers.
[[noreturn]] void exitChild(int status);

}  // namespace cvreport
