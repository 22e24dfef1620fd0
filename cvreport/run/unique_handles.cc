#include "run/unique_handles.h"

#include <unistd.h>

#include <utility>

namespace cvreport {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int UniqueFd::release() { return std::exchange(fd_, -1); }

int UniqueFd::reset(int fd) {
  int result = fd_ >= 0 ? ::close(fd_) : 0;
  fd_ = fd;
  return result;
}

UniqueFile::UniqueFile(UniqueFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), closer_(other.closer_) {}

UniqueFile& UniqueFile::operator=(UniqueFile&& other) noexcept {
  if (this != &other) {
    close();
    file_ = std::exchange(other.file_, nullptr);
    closer_ = other.closer_;
  }
  return *this;
}

int UniqueFile::close() {
  FILE* file = std::exchange(file_, nullptr);
  if (!file) return 0;
  return closer_ == Closer::kPclose ? pclose(file) : fclose(file);
}

UniqueDir::~UniqueDir() {
  if (dir_) closedir(dir_);
}

}  // namespace cvreport
