#include "node/hdimg.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "core/capture.h"
#include "core/owners.h"
#include "core/xml_writer.h"

namespace cvsysinfo {

const char* const kHdimgTopAttrs[] = {nullptr};
const char* const kHdimgDeviceAttrs[] = {"pdelta", "size", "pstat", "pstate", "ptune", nullptr};
const char* const kHdimgPartitionAttrs[] = {"size", nullptr};
const char* const kHdimgDeltaAttrs[] = {"io", "format", "ro", nullptr};

namespace {

const char kBlockDirectory[] = "/sys/devices/virtual/block";
// The real tree is four levels deep; a symbolic link that leads back up
// would otherwise be walked until the stack or the descriptors ran out.
constexpr int kMaxDepth = 8;

bool list_holds(const char* const* list, const char* name) {
  for (; *list; ++list) {
    if (strcmp(*list, name) == 0) return true;
  }
  return false;
}

// The list for the level below, or false when the entry is not written.
bool list_below(const char* const* current, const char* name, const char* const*& below) {
  if (strncmp(name, "hdimg", 5) == 0) {
    below = current == kHdimgDeviceAttrs ? kHdimgPartitionAttrs : kHdimgDeviceAttrs;
    return true;
  }
  if (!current) {
    below = kHdimgDeltaAttrs;
    return true;
  }
  below = nullptr;
  return list_holds(current, name);
}

void walk(xmlTextWriterPtr writer, FdOwner directory, const char* const* list, int depth);

void add_directory(xmlTextWriterPtr writer, int dirfd, const char* name, const char* const* below,
                  int depth) {
  std::string element = name;
  // A name that begins with a digit cannot be an element name.
  if (name[0] >= '0' && name[0] <= '9') element = "_" + element.substr(0, 30);
  SectionWriter out(writer, "add_sys_hdimg_directory");
  out.start(element.c_str());
  if (depth < kMaxDepth) {
    FdOwner fd(openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) walk(writer, std::move(fd), below, depth + 1);
  }
  out.end();
}

void walk(xmlTextWriterPtr writer, FdOwner directory, const char* const* list, int depth) {
  DirOwner dir(fdopendir(directory.get()));
  if (!dir) return;
  // The stream closes the descriptor from now on.
  int dirfd = directory.release();
  while (struct dirent* entry = readdir(dir.get())) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || strcmp(name, "event") == 0) continue;
    struct stat status;
    if (fstatat(dirfd, name, &status, 0) != 0) continue;
    const char* const* below = nullptr;
    if (!list_below(list, name, below)) continue;
    if (S_ISREG(status.st_mode)) {
      add_sys_file(writer, dirfd, name);
    } else if (S_ISDIR(status.st_mode)) {
      add_directory(writer, dirfd, name, below, depth);
    }
  }
}

}  // namespace

void add_hdimg_stat(xmlTextWriterPtr writer, const char* block_directory) {
  FdOwner fd(open(block_directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return;
  SectionWriter out(writer, "add_hdimg_stat");
  out.start("Hdimgs");
  walk(writer, std::move(fd), kHdimgTopAttrs, 0);
  out.end();
}

void add_hdimg_stat(xmlTextWriterPtr writer) { add_hdimg_stat(writer, kBlockDirectory); }

}  // namespace cvsysinfo
