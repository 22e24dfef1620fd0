// Containers are captured by several threads at once, so the child is made
// by posix_spawn, which does nothing between fork and exec that another
// thread's locks could hang.
#include "core/spawn.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/command.h"
#include "core/owners.h"

extern char** environ;

namespace {

// The process groups of the commands running now, for a signal handler to
// kill; a slot holds 0 when free. Each capture thread runs one command at a
// time, so far fewer are ever running; one that finds no slot is not
// tracked.
constexpr size_t kTrackedGroups = 1024;
std::atomic<pid_t> running_groups[kTrackedGroups];
static_assert(std::atomic<pid_t>::is_always_lock_free, "read by a signal handler");

void track_group(pid_t pid) {
  for (std::atomic<pid_t>& slot : running_groups) {
    pid_t free_slot = 0;
    if (slot.compare_exchange_strong(free_slot, pid)) return;
  }
}

// Before the command is reaped: until then its group cannot be another's.
void untrack_group(pid_t pid) {
  for (std::atomic<pid_t>& slot : running_groups) {
    pid_t mine = pid;
    if (slot.compare_exchange_strong(mine, 0)) return;
  }
}

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
  track_group(child);
  write_end.reset();
  FILE* out = fdopen(read_end.get(), "r");
  if (!out) {
    int saved = errno;
    kill(-child, SIGKILL);
    untrack_group(child);
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
  untrack_group(pid);
  return reap(pid);
}

void cvsysinfo::stop_started_commands() {
  for (std::atomic<pid_t>& slot : running_groups) {
    pid_t pid = slot.load();
    if (pid > 0) kill(-pid, SIGKILL);
  }
}
