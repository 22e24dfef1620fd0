#include "run/files.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/text.h"
#include "run/unique_handles.h"

namespace cvreport {
namespace {

std::string octalMode(mode_t mode) {
  char text[8];
  snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

std::string parentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Checks one inode already looked at; what names it in the messages.
int checkOwnerAndMode(const std::string& shown, const struct stat& st, bool isLink,
                      std::string* message) {
  if (st.st_uid != 0) {
    *message = shown + " is owned by user " + std::to_string(st.st_uid) + ", not root: run chown " +
               (isLink ? "-h " : "") + "root " + shown;
    return -1;
  }
  // A link's own mode means nothing; only its owner can replace it.
  if (!isLink && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    *message = shown + " is writable by others than root (mode " + octalMode(st.st_mode) +
               "): run chmod go-w " + shown;
    return -1;
  }
  return 0;
}

int checkDirectory(const std::string& dir, const std::string& file, std::string* message) {
  struct stat st;
  std::string shownDir = printableText(dir, LineBreaks::kSpace);
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *message = "Can't check the directory " + shownDir + ": " + strerror(errno);
    return -1;
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) != 0) {
    // Others may put files there: telling root to close it would break
    // them, so the file has to move.
    *message = file + " lies in " + shownDir + ", which others than root can write to (mode " +
               octalMode(st.st_mode) + "): move it to a directory only root can write to";
    return -1;
  }
  return checkOwnerAndMode(shownDir, st, false, message);
}

}  // namespace

FileRead readSettingsFile(const char* path, bool followLinks, std::string& text,
                          std::string* message) {
  text.clear();
  int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLinks ? 0 : O_NOFOLLOW);
  UniqueFd fd(open(path, flags));
  if (!fd.valid()) {
    if (errno == ENOENT) return FileRead::kMissing;
    if (errno == ELOOP && !followLinks) {
      *message = std::string(path) + " is a symbolic link";
    } else {
      *message = std::string("Can't open ") + path + ": " + strerror(errno);
    }
    return FileRead::kUnreadable;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) {
    *message = std::string("Can't read ") + path + ": " + strerror(errno);
    return FileRead::kUnreadable;
  }
  if (!S_ISREG(st.st_mode)) {
    *message = std::string(path) + " is not a regular file";
    return FileRead::kUnreadable;
  }
  // The size is read up to one byte past the cap, so that a file that grows
  // while it is read is caught as well.
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *message = std::string("Can't read ") + path + ": " + strerror(errno);
      text.clear();
      return FileRead::kUnreadable;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (text.size() > kMaxSettingsFileBytes) {
      *message = std::string(path) + " is larger than 1 MiB";
      text.clear();
      return FileRead::kUnreadable;
    }
  }
  return FileRead::kRead;
}

FileSafety checkRootOnly(const std::string& path, std::string* message) {
  std::string shown = printableText(path, LineBreaks::kSpace);
  struct stat linkSt;
  if (lstat(path.c_str(), &linkSt) != 0) {
    if (errno == ENOENT) return FileSafety::kMissing;
    *message = "Can't check " + shown + ": " + strerror(errno);
    return FileSafety::kUnsafe;
  }
  if (checkDirectory(parentOf(path), shown, message) != 0) return FileSafety::kUnsafe;
  bool isLink = S_ISLNK(linkSt.st_mode);
  if (checkOwnerAndMode(shown, linkSt, isLink, message) != 0) return FileSafety::kUnsafe;
  if (!isLink) {
    if (S_ISREG(linkSt.st_mode)) return FileSafety::kRootOnly;
    *message = shown + " is not a regular file";
    return FileSafety::kUnsafe;
  }

  struct stat st;
  char resolved[PATH_MAX];
  if (stat(path.c_str(), &st) != 0 || !realpath(path.c_str(), resolved)) {
    if (errno == ENOENT) return FileSafety::kMissing;
    *message = "Can't check " + shown + ": " + strerror(errno);
    return FileSafety::kUnsafe;
  }
  if (!S_ISREG(st.st_mode)) {
    // A device's mode says nothing about who may change what root reads.
    *message = shown + " is not a regular file";
    return FileSafety::kUnsafe;
  }
  std::string target = resolved;
  std::string shownTarget = printableText(target, LineBreaks::kSpace);
  if (checkDirectory(parentOf(target), shownTarget, message) != 0) return FileSafety::kUnsafe;
  return checkOwnerAndMode(shownTarget, st, false, message) == 0 ? FileSafety::kRootOnly
                                                                   : FileSafety::kUnsafe;
}

int writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return -1;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

}  // namespace cvreport
