// The files root reads or runs at the fixed paths: read only when they are
// small regular files, trusted only when nobody but root can change them.
#pragma once

#include <stddef.h>

#include <string>

namespace cvreport {

// The most of a configuration, sysconfig or release file that is read.
inline constexpr size_t kMaxSettingsFileBytes = 1024 * 1024;

enum class FileRead {
  kRead,
  kMissing,     // no such file: the caller decides whether that matters
  kUnreadable,  // the reason in message
};

// Reads a regular file of at most kMaxSettingsFileBytes, following a link
// only when followLinks. Never waits: a FIFO, a device or a directory is
// refused after a non-blocking open, before anything is read from it.
FileRead readSettingsFile(const char* path, bool followLinks, std::string& text,
                          std::string* message);

enum class FileSafety { kRootOnly, kMissing, kUnsafe };

// kRootOnly when the file at path is a regular file (or a link to one) that
// can be changed by root only: the file, a link there and the link's target
// are owned by root and not writable by group or others, and so are the
// directories holding the path and the target, of which none may be a
// sticky directory shared with others such as /tmp. kUnsafe with the
// sentence for the user, naming the file and the fix, in message; kMissing
// when path does not exist (message empty).
FileSafety checkRootOnly(const std::string& path, std::string* message);

// Writes all size bytes of data to fd, going on after a short write or an
// interrupted one. Returns 0, or -1 with errno set (0 when fd took none).
int writeAll(int fd, const char* data, size_t size);

}  // namespace cvreport
