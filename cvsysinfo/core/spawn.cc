// How a command of the inventory is started and ended: in a process group
// of its own, read through a pipe (see CommandOwner). Containers are
// captured by several threads at once, so the child is made by posix_spawn,
// which does nothing between fork and exec that another thread's locks
// could hang.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/command.h"
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

// The child's standard input is /dev/null, its standard output the pipe,
// and it leads a process group of its own.
class SpawnSetup {
 public:
  explicit SpawnSetup(int write_end) {
    ok_ = posix_spawn_file_actions_init(&actions_) == 0;
    if (!ok_) return;
    actions_ready_ = true;
    ok_ = posix_spawnattr_init(&attributes_) == 0;
    if (!ok_) return;
    attributes_ready_ = true;
    // dup2 onto the same descriptor would keep close-on-exec: posix_spawn
    // clears it in that case, as the old code did by hand.
    ok_ = posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
          posix_spawn_file_actions_adddup2(&actions_, write_end, STDOUT_FILENO) == 0 &&
          posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
          posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP) == 0;
  }
  ~SpawnSetup() {
    if (actions_ready_) posix_spawn_file_actions_destroy(&actions_);
    if (attributes_ready_) posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  explicit operator bool() const { return ok_; }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
  bool actions_ready_ = false;
  bool attributes_ready_ = false;
  bool ok_ = false;
};

// The plain command's words as an argument vector; the strings stay in
// `words`.
std::vector<char*> argument_vector(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  return argv;
}

// A plain command starts its program directly, one process less than the
// shell takes; a program that cannot be started that way (missing, or a
// script without "#!") goes to the shell after all, so that what it prints
// and its status stay what they always were.
int spawn(pid_t* child, const char* command, const SpawnSetup& setup) {
  std::vector<std::string> words;
  // Without PATH the shell searches its own default list, which posix_spawnp
  // does not share.
  if (getenv("PATH") && cvsysinfo::plain_command_words(command, words)) {
    std::vector<char*> argv = argument_vector(words);
    if (posix_spawnp(child, argv[0], setup.actions(), setup.attributes(), argv.data(), environ) == 0) return 0;
  }
  char shell[] = "sh";
  char dash_c[] = "-c";
  std::string text = command;
  char* argv[] = {shell, dash_c, &text[0], nullptr};
  return posix_spawn(child, "/bin/sh", setup.actions(), setup.attributes(), argv, environ);
}

}  // namespace

extern "C" FILE* cvsysinfo_start_command(const char* command, pid_t* pid) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  cvsysinfo::FdOwner read_end(ends[0]);
  cvsysinfo::FdOwner write_end(ends[1]);
  SpawnSetup setup(write_end.get());
  if (!setup) {
    errno = ENOMEM;
    return nullptr;
  }
  pid_t child;
  int rc = spawn(&child, command, setup);
  if (rc != 0) {
    errno = rc;
    return nullptr;
  }
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
