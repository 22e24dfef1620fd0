// Owners of the descriptors and streams cvreport opens: each is released
// exactly once, by its owner, on every path. A forked child never returns
// into code that owns them: it ends with _exit, so no owner is destroyed
// there.
#pragma once

#include <dirent.h>
#include <stdio.h>

namespace cvreport {

// A file descriptor; -1 when it owns none.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives up ownership without closing.
  int release();
  // Closes what is owned (if anything) and takes fd; close's result, 0 when
  // nothing was owned.
  int reset(int fd = -1);

 private:
  int fd_ = -1;
};

// A stdio stream, closed with fclose, or with pclose when it came from popen.
class UniqueFile {
 public:
  enum class Closer { kFclose, kPclose };

  UniqueFile() = default;
  explicit UniqueFile(FILE* file, Closer closer = Closer::kFclose)
      : file_(file), closer_(closer) {}
  UniqueFile(const UniqueFile&) = delete;
  UniqueFile& operator=(const UniqueFile&) = delete;
  ~UniqueFile() { close(); }

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  // The closer's result (pclose: the wait status); 0 when nothing was owned.
  // A write that only failed when the buffer was flushed shows up here.
  int close();

 private:
  FILE* file_ = nullptr;
  Closer closer_ = Closer::kFclose;
};

// A directory stream.
class UniqueDir {
 public:
  explicit UniqueDir(DIR* dir) : dir_(dir) {}
  UniqueDir(const UniqueDir&) = delete;
  UniqueDir& operator=(const UniqueDir&) = delete;
  ~UniqueDir();

  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

}  // namespace cvreport
