#include "run/tree_removal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/unique_handles.h"

namespace cvreport {
namespace {

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Empties the directory open at dirFd. Entries are reached relative to their
// parent's descriptor and never through a symbolic link, so a link to a
// directory outside the tree is removed as a link and its target survives.
// Working on descriptors leaves the process's working directory alone.
int clearDirectory(int dirFd) {
  UniqueFd listFd(dup(dirFd));
  if (!listFd.valid()) return -1;
  UniqueDir dir(fdopendir(listFd.get()));
  if (!dir.get()) return -1;
  listFd.release();  // the directory stream owns it now
  int result = 0;
  while (struct dirent* entry = readdir(dir.get())) {
    const char* name = entry->d_name;
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      result = -1;
      break;
    }
    if (!S_ISDIR(st.st_mode)) {
      if (unlinkat(dirFd, name, 0) != 0) {
        result = -1;
        break;
      }
      continue;
    }
    if (isDotOrDotDot(name)) continue;
    UniqueFd child(openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!child.valid()) {
      result = -1;
      break;
    }
    int cleared = clearDirectory(child.get());
    child.reset();
    if (cleared != 0 || unlinkat(dirFd, name, AT_REMOVEDIR) != 0) {
      result = -1;
      break;
    }
  }
  return result;
}

}  // namespace

int removeDirectoryTree(const char* path) {
  UniqueFd dirFd(open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dirFd.valid()) return -1;
  int cleared = clearDirectory(dirFd.get());
  dirFd.reset();
  if (cleared != 0) return -1;
  return rmdir(path) == 0 ? 0 : -1;
}

}  // namespace cvreport
