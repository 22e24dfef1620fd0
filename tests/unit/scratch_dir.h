// Scratch space for the unit tests of both programs: a private directory
// under /tmp, removed with all in it when its owner goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace cvtest {

class ScratchDir {
 public:
  // Makes the directory, mode 0755 (root's when the tests run as root, as
  // they do in the suite); path() is empty when that failed.
  ScratchDir();
  // Removes the directory and all in it, never following a link out.
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // The path of name inside the directory; nothing is made.
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes text to the file name (its directories made) with mode, and
  // returns its path.
  std::string write(const std::string& name, const std::string& text, mode_t mode = 0644) const;
  // Writes the lines, each ended, to the file name and returns its path.
  std::string write_lines(const std::string& name, const std::vector<std::string>& lines) const;
  // Makes the directory name (and those above it), gives it mode when that
  // is not 0, and returns its path.
  std::string mkdir(const std::string& name, mode_t mode = 0) const;
  // Makes name a FIFO with mode and returns its path.
  std::string fifo(const std::string& name, mode_t mode = 0600) const;
  // Makes name a symbolic link to target and returns its path.
  std::string link(const std::string& name, const std::string& target) const;
  // The whole text of the file name; empty when it cannot be read.
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace cvtest
