#include "scratch_dir.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace cvtest {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  char name[] = "/tmp/cvunit_test.XXXXXX";
  if (mkdtemp(name) && chmod(name, 0755) == 0) path_ = name;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

std::string ScratchDir::mkdir(const std::string& name, mode_t mode) const {
  std::error_code ignored;
  fs::create_directories(file(name), ignored);
  if (mode != 0) chmod(file(name).c_str(), mode);
  return file(name);
}

std::string ScratchDir::fifo(const std::string& name, mode_t mode) const {
  mkfifo(file(name).c_str(), mode);
  return file(name);
}

std::string ScratchDir::write(const std::string& name, const std::string& text, mode_t mode) const {
  std::string full = file(name);
  std::error_code ignored;
  fs::create_directories(fs::path(full).parent_path(), ignored);
  std::ofstream(full, std::ios::binary | std::ios::trunc) << text;
  chmod(full.c_str(), mode);
  return full;
}

std::string ScratchDir::link(const std::string& name, const std::string& target) const {
  std::error_code ignored;
  fs::create_symlink(target, file(name), ignored);
  return file(name);
}

std::string ScratchDir::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ScratchDir::write_lines(const std::string& name, const std::vector<std::string>& lines) const {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return write(name, text);
}

}  // namespace cvtest
