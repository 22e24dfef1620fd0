#include "run/unique_handles.h"

#include <unistd.h>

#include <utility>

namespace cvreport {

int UniqueFd::release() { return std::exchange(fd_, -1); }

int UniqueFd::reset(int fd) {
  int result = fd_ >= 0 ? ::close(fd_) : 0;
  fd_ = fd;
  return result;
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
