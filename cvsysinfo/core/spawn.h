// How CommandOwner (owners.h) starts and ends a command: in a process group
// of its own, read through a pipe. Start and end have C names so that the
// fuzz targets can answer commands at link time (--wrap) instead of a
// shell.
#pragma once

#include <stdio.h>
#include <sys/types.h>

extern "C" {
// The command's output stream, its process group leader in *pid; null,
// errno set, when it could not be started.
FILE* cvsysinfo_start_command(const char* command, pid_t* pid);
// Closes the stream and reaps the command (killing its group first when
// kill_first is set); the wait status, or -1.
int cvsysinfo_end_command(FILE* out, pid_t pid, int kill_first);
}

namespace cvsysinfo {

// Kills the process group of every command started and not yet ended, so
// that a run cut short leaves none behind. Async-signal-safe.
void stop_started_commands();

}  // namespace cvsysinfo
