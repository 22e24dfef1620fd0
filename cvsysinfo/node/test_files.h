// Scratch files for the node tests: a private directory under /tmp that is
// removed with everything in it when the test ends.
#pragma once

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

namespace cvsysinfo {

class ScratchDir {
 public:
  ScratchDir() {
    char name[] = "/tmp/cvnode_test.XXXXXX";
    if (mkdtemp(name)) path_ = name;
  }
  ~ScratchDir() {
    if (path_.empty()) return;
    // Depth first and without following links, so only what lies inside
    // the directory itself is removed.
    nftw(path_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes a file (making its directories) and returns its path.
  std::string write(const std::string& name, const std::string& text, mode_t mode = 0644) const {
    make_parents(name);
    std::string full = file(name);
    std::ofstream(full, std::ios::binary) << text;
    chmod(full.c_str(), mode);
    return full;
  }
  std::string write_lines(const std::string& name, const std::vector<std::string>& lines) const {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return write(name, text);
  }
  std::string mkdir(const std::string& name) const {
    make_parents(name + "/x");
    return file(name);
  }

 private:
  static int remove_entry(const char* entry, const struct stat*, int type, struct FTW*) {
    return type == FTW_DP ? rmdir(entry) : unlink(entry);
  }
  void make_parents(const std::string& name) const {
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
      ::mkdir(file(name.substr(0, slash)).c_str(), 0755);
    }
  }
  std::string path_;
};

}  // namespace cvsysinfo
