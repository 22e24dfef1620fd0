// Containers are captured by several threads at once, so the child is made
// by posix_spawn, which does nothing between fork and exec that another
// thread's locks could hang.
#include "core/spawn.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
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

// Commands between their start and their slot, which a run that ends now
// waits for; once it ends none starts.
std::atomic<int> starting{0};
std::atomic<bool> stopping{false};
static_assert(std::atomic<int>::is_always_lock_free, "read by a signal handler");
static_assert(std::atomic<bool>::is_always_lock_free, "read by a signal handler");

// While a command is started and given its slot, no handler runs on this
// thread: one that ended the run from here would wait for this very start.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous_);
    starting.fetch_add(1);
  }
  ~SignalsHeld() {
    starting.fetch_sub(1);
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  // The mask the command starts with: the thread's own.
  const sigset_t& previous() const { return previous_; }

 private:
  sigset_t previous_;
};

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
// and it leads a process group of its own. It inherits no other descriptor
// beyond standard error: a tool left running must not hold the document's
// pipe open.
class SpawnSetup {
 public:
  SpawnSetup(int write_end, const sigset_t& mask) {
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
#if __GLIBC_PREREQ(2, 34)
          posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0 &&
#endif
          posix_spawnattr_setpgroup(&attributes_, 0) == 0 && posix_spawnattr_setsigmask(&attributes_, &mask) == 0 &&
          posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK) == 0;
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
  SignalsHeld held;
  if (stopping) {
    errno = ECANCELED;
    return nullptr;
  }
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  cvsysinfo::FdOwner read_end(ends[0]);
  cvsysinfo::FdOwner write_end(ends[1]);
  SpawnSetup setup(write_end.get(), held.previous());
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

// A command may leave a helper running after its leader ended, holding
// this program's standard error or waiting for ever: the whole group goes.
extern "C" int cvsysinfo_end_command(FILE* out, pid_t pid, int) {
  kill(-pid, SIGKILL);
  fclose(out);
  untrack_group(pid);
  return reap(pid);
}

namespace cvsysinfo {
namespace {

// Milliseconds to the deadline, rounded up; 0 once it has passed.
int milliseconds_left(Deadline deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Whether fd became readable before the deadline.
bool ready_before(int fd, Deadline deadline) {
  for (;;) {
    int left = milliseconds_left(deadline);
    if (left == 0) return false;
    struct pollfd wanted = {fd, POLLIN, 0};
    int ready = poll(&wanted, 1, left);
    if (ready > 0 || (ready < 0 && errno != EINTR)) return true;
  }
}

}  // namespace

// The stream is read through its descriptor, never its buffer, so that
// poll sees every byte not read yet. Streams without one (the fuzz
// targets' memory) never block.
size_t read_command_stream(FILE* out, char* buffer, size_t size, Deadline deadline, bool* timed_out) {
  *timed_out = false;
  int fd = fileno(out);
  if (fd < 0) return fread(buffer, 1, size, out);
  for (;;) {
    if (!ready_before(fd, deadline)) {
      *timed_out = true;
      return 0;
    }
    ssize_t got = read(fd, buffer, size);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return got > 0 ? static_cast<size_t>(got) : 0;
  }
}

bool wait_command_exit(pid_t pid, Deadline deadline) {
  if (pid <= 0) return true;
  // Without pidfds (before Linux 5.3) the leader is waited for unbounded.
  FdOwner exit_fd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  if (exit_fd && !ready_before(exit_fd.get(), deadline)) return false;
  siginfo_t info;
  while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  return true;
}

}  // namespace cvsysinfo

void cvsysinfo::stop_started_commands() {
  stopping = true;
  // A start in progress on another thread gets its slot within moments.
  for (int tries = 0; tries < 200 && starting > 0; ++tries) {
    struct timespec pause = {0, 5 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  for (std::atomic<pid_t>& slot : running_groups) {
    pid_t pid = slot.load();
    if (pid > 0) kill(-pid, SIGKILL);
  }
}
