// Owners of what the inventory opens: each is released exactly once, on
// every path out of the function that opened it, and nothing in the
// sections releases a resource by hand.
#pragma once

#include <dirent.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlwriter.h>
#include <stdio.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <memory>

namespace cvsysinfo {

// A file descriptor; release() hands it on (fdopendir takes it over).
class FdOwner {
 public:
  explicit FdOwner(int fd = -1) : fd_(fd) {}
  ~FdOwner() { reset(); }
  FdOwner(FdOwner&& other) noexcept : fd_(other.release()) {}
  FdOwner& operator=(FdOwner&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // The result of close(), for the one caller that must know its data
  // reached the disk; 0 when nothing was open.
  int reset() {
    int rc = fd_ >= 0 ? ::close(fd_) : 0;
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
using FileOwner = std::unique_ptr<FILE, FileCloser>;

// A shell command whose standard output is read through read(). It runs in
// a process group of its own with standard input from /dev/null, so that a
// reader that stops before the end can end it and all it started: closing
// the pipe alone leaves a tool that ignores SIGPIPE writing for ever, and
// reaping it waits as long. It has kCommandTimeout (spawn.h) from its start
// to end; then it is stopped, and what it printed before stays read.
// finish() reaps the command and gives its wait status; a command dropped
// unfinished is stopped, then reaped. Whatever the command left running
// in its group is killed when it ends.
class CommandOwner {
 public:
  // !*this, errno set, when the command could not be started.
  explicit CommandOwner(const char* command);
  ~CommandOwner() { stop(); }
  CommandOwner(const CommandOwner&) = delete;
  CommandOwner& operator=(const CommandOwner&) = delete;
  explicit operator bool() const { return out_ != nullptr; }
  // Up to size bytes of the output; 0 at its end or once the time is up.
  size_t read(char* buffer, size_t size);
  // The command's wait status after its output ended, or -1 when it could
  // not be reaped or ran out of time.
  int finish();
  // Kills the command's process group and reaps it.
  void stop();
  // Whether the command ran out of time (and was stopped, once finished).
  bool timed_out() const { return timed_out_; }

 private:
  FILE* out_ = nullptr;
  pid_t pid_ = -1;
  std::chrono::steady_clock::time_point deadline_;
  bool timed_out_ = false;
};

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirOwner = std::unique_ptr<DIR, DirCloser>;

// Freeing the writer writes what it still buffers and closes its output.
struct XmlWriterFreer {
  void operator()(xmlTextWriterPtr writer) const { xmlFreeTextWriter(writer); }
};
using XmlWriterOwner = std::unique_ptr<xmlTextWriter, XmlWriterFreer>;

struct XmlReaderFreer {
  void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};
using XmlReaderOwner = std::unique_ptr<xmlTextReader, XmlReaderFreer>;

// A memory buffer a writer writes into; free it after its writer, which
// flushes into it when freed.
struct XmlBufferFreer {
  void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};
using XmlBufferOwner = std::unique_ptr<xmlBuffer, XmlBufferFreer>;

// An output buffer not yet handed to a writer (the writer owns it after).
struct XmlOutputCloser {
  void operator()(xmlOutputBufferPtr output) const { xmlOutputBufferClose(output); }
};
using XmlOutputOwner = std::unique_ptr<xmlOutputBuffer, XmlOutputCloser>;

}  // namespace cvsysinfo
