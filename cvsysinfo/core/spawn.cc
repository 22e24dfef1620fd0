// How a command of the inventory is started and ended: a shell in a
// process group of its own, read through a pipe (see CommandOwner).
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/owners.h"

extern char** environ;

namespace {

int reap(pid_t pid) {
  int status;
  pid_t done;
  do {
    done = waitpid(pid, &status, 0);
  } while (done < 0 && errno == EINTR);
  return done == pid ? status : -1;
}

// posix_spawn, as popen uses it: no copy of the inventory's memory is made
// for each of the thousands of commands of a large host.
pid_t spawn_shell(const char* command, int write_end) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_adddup2(&actions, write_end, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command), nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  return pid;
}

}  // namespace

extern "C" FILE* cvsysinfo_start_command(const char* command, pid_t* pid) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  cvsysinfo::FdOwner read_end(ends[0]);
  cvsysinfo::FdOwner write_end(ends[1]);
  pid_t child = spawn_shell(command, write_end.get());
  if (child < 0) return nullptr;
  write_end.reset();
  FILE* out = fdopen(read_end.get(), "r");
  if (!out) {
    int saved = errno;
    kill(-child, SIGKILL);
    reap(child);
    errno = saved;
    return nullptr;
  }
  read_end.release();
  *pid = child;
  return out;
}

extern "C" int cvsysinfo_end_command(FILE* out, pid_t pid, int kill_first) {
  if (kill_first) kill(-pid, SIGKILL);
  fclose(out);
  return reap(pid);
}
