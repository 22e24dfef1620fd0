// How CommandOwner (owners.h) starts and ends a command: in a process group
// of its own, read through a pipe. Start and end have C names so that the
// fuzz targets can answer commands at link time (--wrap) instead of a
// shell.
#pragma once

#include <stdio.h>
#include <sys/types.h>

#include <chrono>

extern "C" {
// The command's output stream, its process group leader in *pid; null,
// errno set, when it could not be started.
FILE* cvsysinfo_start_command(const char* command, pid_t* pid);
// Closes the stream, kills the command's group and reaps the command; the
// wait status, or -1. Unless kill_first is set the leader has exited (see
// wait_command_exit), so only what it left running in its group is killed.
int cvsysinfo_end_command(FILE* out, pid_t pid, int kill_first);
}

namespace cvsysinfo {

// How long one command may run: the build setting CVSYSINFO_COMMAND_TIMEOUT.
inline constexpr std::chrono::seconds kCommandTimeout{CVSYSINFO_COMMAND_TIMEOUT};
using Deadline = std::chrono::steady_clock::time_point;

// Reads up to size bytes of the command's output, waiting until deadline
// at most; 0 at the end of the output, or with *timed_out set when the
// deadline passed first.
size_t read_command_stream(FILE* out, char* buffer, size_t size, Deadline deadline, bool* timed_out);
// Waits, until deadline at most, for the leader pid to exit, and leaves it
// unreaped so that its group stays its own; false when it is still running.
bool wait_command_exit(pid_t pid, Deadline deadline);

// Kills the process group of every command started and not yet ended, so
// that a run cut short leaves none behind; a command being started by
// another thread now is waited for and killed too. Async-signal-safe. No
// command starts after it.
void stop_started_commands();

}  // namespace cvsysinfo
