#include "node/hdimg.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/capture.h"
#include "core/report.h"

namespace cvsysinfo {

const char* const hdimg_top_attrs[] = {nullptr};
const char* const hdimg_device_attrs[] = {"pdelta", "size", "pstat", "pstate", "ptune", nullptr};
const char* const hdimg_partition_attrs[] = {"size", nullptr};
const char* const hdimg_delta_attrs[] = {"io", "format", "ro", nullptr};

namespace {

const char kBlockDirectory[] = "/sys/devices/virtual/block";
// The real tree is four levels deep; a symbolic link that leads back up
// would otherwise be walked until the stack or the descriptors ran out.
constexpr int kMaxDepth = 8;

bool listHolds(const char* const* list, const char* name) {
  for (; *list; ++list) {
    if (strcmp(*list, name) == 0) return true;
  }
  return false;
}

// The list for the level below, or false when the entry is not written.
bool listBelow(const char* const* current, const char* name, const char* const*& below) {
  if (strncmp(name, "hdimg", 5) == 0) {
    below = current == hdimg_device_attrs ? hdimg_partition_attrs : hdimg_device_attrs;
    return true;
  }
  if (!current) {
    below = hdimg_delta_attrs;
    return true;
  }
  below = nullptr;
  return listHolds(current, name);
}

void walk(xmlTextWriterPtr writer, int dirfd, const char* const* list, int depth);

void addDirectory(xmlTextWriterPtr writer, int dirfd, const char* name, const char* const* below,
                  int depth) {
  std::string element = name;
  // A name that begins with a digit cannot be an element name.
  if (name[0] >= '0' && name[0] <= '9') element = "_" + element.substr(0, 30);
  startElement(writer, "add_sys_hdimg_directory", __LINE__, element.c_str());
  if (depth < kMaxDepth) {
    int fd = openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) walk(writer, fd, below, depth + 1);
  }
  endElement(writer, "add_sys_hdimg_directory", __LINE__);
}

void walk(xmlTextWriterPtr writer, int dirfd, const char* const* list, int depth) {
  DIR* dir = fdopendir(dirfd);
  if (!dir) {
    close(dirfd);
    return;
  }
  while (struct dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || strcmp(name, "event") == 0) continue;
    struct stat status;
    if (fstatat(dirfd, name, &status, 0) != 0) continue;
    const char* const* below = nullptr;
    if (!listBelow(list, name, below)) continue;
    if (S_ISREG(status.st_mode)) {
      add_sys_file(writer, dirfd, name);
    } else if (S_ISDIR(status.st_mode)) {
      addDirectory(writer, dirfd, name, below, depth);
    }
  }
  closedir(dir);
}

}  // namespace

void add_sys_hdimg_directory(xmlTextWriterPtr writer, int dirfd, const char* const* list) {
  walk(writer, dirfd, list, 0);
}

void add_hdimg_stat(xmlTextWriterPtr writer, const char* block_directory) {
  int fd = open(block_directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  startElement(writer, "add_hdimg_stat", __LINE__, "Hdimgs");
  add_sys_hdimg_directory(writer, fd, hdimg_top_attrs);
  endElement(writer, "add_hdimg_stat", __LINE__);
}

void add_hdimg_stat(xmlTextWriterPtr writer) { add_hdimg_stat(writer, kBlockDirectory); }

}  // namespace cvsysinfo
