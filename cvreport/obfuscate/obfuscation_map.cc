#include "obfuscate/obfuscation_map.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "run/files.h"
#include "run/unique_handles.h"

namespace cvreport {
namespace {

// A map this large was not written by us; reading it would only cost memory.
constexpr off_t kMaxMapBytes = 256 * 1024 * 1024;

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int fail(std::string* message, const std::string& text) {
  if (message) *message = text;
  return -1;
}

int failErrno(std::string* message, const std::string& what) {
  return fail(message, what + ": " + strerror(errno));
}

// The map names every host and user of the site: anybody who could change
// it or its directory could read them or redirect the placeholders.
int checkPrivate(const std::string& path, const struct stat& file, std::string* message) {
  if (S_ISLNK(file.st_mode)) return fail(message, path + " is a symbolic link");
  if (!S_ISREG(file.st_mode)) return fail(message, path + " is not a regular file");
  if (file.st_uid != 0) return fail(message, path + " is not owned by root");
  if ((file.st_mode & 07777) != 0600) return fail(message, path + " must have mode 0600");
  std::string dir = directoryOf(path);
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) return failErrno(message, dir);
  if (!S_ISDIR(st.st_mode) || st.st_uid != 0 || (st.st_mode & 077) != 0) {
    return fail(message, dir + " must be a directory of root's with mode 0700");
  }
  return 0;
}

void parseMap(const std::string& text, ObfuscationMap& map) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t tab1 = text.find('\t', start);
    size_t tab2 = tab1 < end ? text.find('\t', tab1 + 1) : std::string::npos;
    if (tab1 > start && tab2 < end && tab2 > tab1 + 1 && tab2 + 1 < end &&
        text.find('\t', tab2 + 1) >= end) {
      map.entries[{text.substr(start, tab1 - start), text.substr(tab1 + 1, tab2 - tab1 - 1)}] =
          text.substr(tab2 + 1, end - tab2 - 1);
    }
    start = end + 1;
  }
}

int makePrivateDirectory(const std::string& dir, std::string* message) {
  // Each missing ancestor too, as the package may not have made /var/lib/cvreport.
  for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    std::string part = dir.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return failErrno(message, part);
    if (slash == std::string::npos) break;
  }
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) return failErrno(message, dir);
  if (!S_ISDIR(st.st_mode) || st.st_uid != 0) {
    return fail(message, dir + " must be a directory of root's");
  }
  return 0;
}

}  // namespace

int loadObfuscationMap(const std::string& path, ObfuscationMap& map, std::string* message) {
  map.entries.clear();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    return errno == ENOENT ? 0 : failErrno(message, path);
  }
  if (checkPrivate(path, st, message) != 0) return -1;
  if (st.st_size > kMaxMapBytes) return fail(message, path + " is too large");
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return failErrno(message, path);
  struct stat opened;
  if (fstat(fd.get(), &opened) != 0 || opened.st_ino != st.st_ino || opened.st_dev != st.st_dev) {
    return fail(message, path + " changed while it was read");
  }
  std::string text;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t n = read(fd.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failErrno(message, path);
    if (n == 0) break;
    text.append(buffer.data(), static_cast<size_t>(n));
    if (text.size() > static_cast<size_t>(kMaxMapBytes)) return fail(message, path + " is too large");
  }
  parseMap(text, map);
  return 0;
}

int saveObfuscationMap(const std::string& path, const ObfuscationMap& map, std::string* message) {
  std::string dir = directoryOf(path);
  if (makePrivateDirectory(dir, message) != 0) return -1;
  if (chmod(dir.c_str(), 0700) != 0) return failErrno(message, dir);
  std::string text;
  for (const auto& entry : map.entries) {
    text += entry.first.first + '\t' + entry.first.second + '\t' + entry.second + '\n';
  }
  std::string temp = path + ".XXXXXX";
  UniqueFd fd(mkostemp(&temp[0], O_CLOEXEC));
  if (!fd.valid()) return failErrno(message, temp);
  bool written = fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), text.data(), text.size()) == 0 &&
                 fsync(fd.get()) == 0;
  if (!written || fd.reset() != 0 || rename(temp.c_str(), path.c_str()) != 0) {
    int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return failErrno(message, path);
  }
  UniqueFd dirFd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.valid()) fsync(dirFd.get());
  return 0;
}

}  // namespace cvreport
