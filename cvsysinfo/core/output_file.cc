#include "core/output_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "core/spawn.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

// The new file's name, for a signal handler: written only while
// temporary_named is false, so a handler never reads it half made.
char temporary_path[PATH_MAX];
std::atomic<bool> temporary_named{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read by a signal handler");

// SIGPIPE too: a reader of the document or of standard error that goes
// away must not leave the commands running.
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
static_assert(sizeof kEndingSignals / sizeof kEndingSignals[0] == OutputFile::kEndingSignalCount, "one saved action each");

// Both async-signal-safe: unlink and kill only.
void remove_temporary() {
  if (temporary_named.exchange(false)) unlink(temporary_path);
}

void abandon_run() {
  remove_temporary();
  stop_started_commands();
}

void end_on_signal(int signo) {
  int saved = errno;
  abandon_run();
  // Raised again with its default action, it ends the process once this
  // handler returns, and whoever waits for it sees the signal.
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  if (sigaction(signo, &action, nullptr) != 0 || raise(signo) != 0) _exit(128 + signo);
  errno = saved;
}

// What the path leads to when the document is written into it rather than
// replacing it, and whether a link leads there.
struct InPlace {
  struct stat target;
  bool through_link = false;
};

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The descriptor a /dev/fd/N or /proc/self/fd/N path names, else -1.
int named_descriptor(const char* output_path) {
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    size_t length = strlen(prefix);
    if (strncmp(output_path, prefix, length) != 0) continue;
    char* end;
    long fd = strtol(output_path + length, &end, 10);
    if (end != output_path + length && *end == '\0' && fd >= 0 && fd <= INT_MAX) return static_cast<int>(fd);
  }
  return -1;
}

// The standard descriptors and the one the path names: files the caller
// opened for the document.
bool is_given_file(const char* output_path, const struct stat& target) {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, named_descriptor(output_path)}) {
    struct stat given;
    if (fd >= 0 && fstat(fd, &given) == 0 && same_file(given, target)) return true;
  }
  return false;
}

// Where the document goes: written into what the path names, written
// beside it and then put in its place, or nowhere.
enum class Placement { kInPlace, kReplace, kRefused };

// A pipe or device is read by whoever owns it: written into only when that
// is root or the caller, or the caller opened it for the document (a FIFO
// another user made in /tmp would hand them the host's inventory).
Placement in_place_if_ours(const char* output_path, const struct stat& target) {
  bool ours = target.st_uid == 0 || target.st_uid == geteuid() || is_given_file(output_path, target);
  return ours ? Placement::kInPlace : Placement::kRefused;
}

// Pipes and devices (the collector's /dev/fd/3, /dev/stdout, /dev/null) are
// written into. A link is followed only when the administrator made it,
// not someone who can write the directory, and to a regular file only when
// that is a file the caller opened for the document (cvsysinfo /dev/stdout
// >file).
Placement placement(const char* output_path, InPlace& place) {
  struct stat link;
  if (lstat(output_path, &link) != 0) return Placement::kReplace;
  if (!S_ISLNK(link.st_mode)) {
    place.target = link;
    if (S_ISREG(link.st_mode)) return Placement::kReplace;
    return S_ISDIR(link.st_mode) ? Placement::kInPlace : in_place_if_ours(output_path, link);
  }
  place.through_link = true;
  if (link.st_uid != 0 && link.st_uid != geteuid()) return Placement::kReplace;
  if (stat(output_path, &place.target) != 0) return Placement::kReplace;
  if (S_ISFIFO(place.target.st_mode) || S_ISCHR(place.target.st_mode)) {
    return in_place_if_ours(output_path, place.target);
  }
  bool given = S_ISREG(place.target.st_mode) && is_given_file(output_path, place.target);
  return given ? Placement::kInPlace : Placement::kReplace;
}

int open_in_place(const char* output_path, const InPlace& place) {
  FdOwner fd(open(output_path, O_WRONLY | O_TRUNC | O_CLOEXEC | (place.through_link ? 0 : O_NOFOLLOW)));
  struct stat opened;
  if (!fd || fstat(fd.get(), &opened) != 0) return -1;
  // Whatever took the path's place since it was looked at is not written.
  if (!same_file(opened, place.target)) {
    errno = EAGAIN;
    return -1;
  }
  return fd.release();
}

// A new file beside the output, made by this process alone and never
// through a link, with the mode a new output file has always had.
int open_temporary(const char* output_path) {
  std::string path = output_path;
  size_t slash = path.rfind('/');
  path = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  path += "/.cvsysinfo.XXXXXX";
  if (path.size() >= sizeof temporary_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  if (temporary_named) {
    errno = EBUSY;
    return -1;
  }
  snprintf(temporary_path, sizeof temporary_path, "%s", path.c_str());
  FdOwner fd(mkostemp(temporary_path, O_CLOEXEC));
  if (!fd) return -1;
  temporary_named = true;
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd.get(), 0666 & ~mask) != 0) {
    remove_temporary();
    return -1;
  }
  return fd.release();
}

}  // namespace

OutputFile::~OutputFile() {
  fd_.reset();
  remove_temporary();
  if (!signals_taken_) return;
  for (size_t i = 0; i < kEndingSignalCount; ++i) {
    sigaction(kEndingSignals[i], &previous_[i], nullptr);
  }
}

bool OutputFile::open(const char* output_path) {
  path_ = output_path;
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = end_on_signal;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < kEndingSignalCount; ++i) {
    sigaction(kEndingSignals[i], nullptr, &previous_[i]);
    // A signal the caller ignores (nohup) stays ignored.
    if (previous_[i].sa_handler != SIG_IGN) sigaction(kEndingSignals[i], &action, nullptr);
  }
  signals_taken_ = true;
  on_writer_failure(abandon_run);
  // "-" has always meant standard output, as libxml2's file output read it.
  if (path_ == "-") {
    fd_ = FdOwner(dup(STDOUT_FILENO));
    return static_cast<bool>(fd_);
  }
  InPlace place;
  switch (placement(output_path, place)) {
    case Placement::kInPlace:
      fd_ = FdOwner(open_in_place(output_path, place));
      break;
    case Placement::kReplace:
      replace_ = true;
      fd_ = FdOwner(open_temporary(output_path));
      break;
    case Placement::kRefused:
      // Replacing it would not keep the document from its reader either.
      fprintf(stderr, "cvsysinfo: %s is a pipe or device of another user; the inventory is not written there\n",
              output_path);
      errno = EPERM;
      return false;
  }
  return static_cast<bool>(fd_);
}

// libxml2's own file output reports a failure to write its last buffer
// only to xmlFreeTextWriter, which drops it: a disk that filled up there
// left a cut document and status 0. These callbacks keep it.
int OutputFile::write_output(void* context, const char* buffer, int length) {
  auto* file = static_cast<OutputFile*>(context);
  int done = 0;
  while (done < length) {
    ssize_t n = write(file->fd_.get(), buffer + done, static_cast<size_t>(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      file->failed_ = true;
      return -1;
    }
    done += static_cast<int>(n);
  }
  return length;
}

int OutputFile::close_output(void* context) {
  auto* file = static_cast<OutputFile*>(context);
  // A file that replaces the output reaches the disk before it does.
  if (file->replace_ && fsync(file->fd_.get()) != 0) file->failed_ = true;
  if (file->fd_.reset() != 0) file->failed_ = true;
  return file->failed_ ? -1 : 0;
}

xmlOutputBufferPtr OutputFile::make_output() {
  return fd_ ? xmlOutputBufferCreateIO(write_output, close_output, this, nullptr) : nullptr;
}

bool OutputFile::put_in_place() {
  if (!replace_) return true;
  if (rename(temporary_path, path_.c_str()) != 0) {
    int saved = errno;
    remove_temporary();
    errno = saved;
    return false;
  }
  temporary_named = false;
  return true;
}

}  // namespace cvsysinfo
