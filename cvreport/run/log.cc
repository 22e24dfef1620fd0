#include "run/log.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <sys/stat.h>

#include "run/text.h"
#include "run/unique_handles.h"

namespace cvreport {
namespace {

// The report log, opened for appending, so that the records of the parent,
// the upload worker and the collector's stderr never overwrite each other.
UniqueFd logFd;

// A system error text never holds "%", but it is spliced into a format, so
// any "%" is doubled to keep it literal.
std::string escapePercent(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    out += *p;
    if (*p == '%') out += '%';
  }
  return out;
}

std::string timePrefix() {
  char stamp[256];
  time_t now = time(nullptr);
  struct tm local;
  size_t n = 0;
  if (localtime_r(&now, &local)) n = strftime(stamp, sizeof stamp, "%b %d %H:%M:%S %Y", &local);
  return std::string(stamp, n) + ": ";
}

}  // namespace

LogOpen openLog(const char* path, std::string* refusal) {
  // Children that exec get the log only as their stderr, never as a spare
  // descriptor; the forked upload worker keeps it. Root appends to it: a
  // link there would have root write wherever the link points, and a FIFO
  // or device would hold or swallow the records, so only a regular file is
  // used (non-blocking, so that a FIFO without a reader cannot hold the
  // open).
  UniqueFd fd(open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
  if (!fd.valid()) {
    if (errno == ELOOP) {
      *refusal = std::string("Not using ") + path + ": it is a symbolic link";
      return LogOpen::kRefused;
    }
    // A FIFO without a reader (ENXIO) or a directory (EISDIR) is no log
    // either, and no reason to stop the report.
    if (errno == ENXIO || errno == EISDIR) {
      *refusal = std::string("Not using ") + path + ": it is not a regular file";
      return LogOpen::kRefused;
    }
    return LogOpen::kFailed;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return LogOpen::kFailed;
  if (!S_ISREG(st.st_mode)) {
    *refusal = std::string("Not using ") + path + ": it is not a regular file";
    return LogOpen::kRefused;
  }
  int flags = fcntl(fd.get(), F_GETFL);
  if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return LogOpen::kFailed;
  logFd.reset(fd.release());
  return LogOpen::kOpened;
}

std::string formatLogText(int savedErrno, const char* format, va_list args) {
  std::string fmt = format;
  size_t at = fmt.find("%m");
  if (at != std::string::npos) {
    std::string errText = escapePercent(strerror(savedErrno));
    if (errText.size() > 256) errText.resize(256);
    fmt.replace(at, 2, errText);
  }
  va_list copy;
  va_copy(copy, args);
  int needed = vsnprintf(nullptr, 0, fmt.c_str(), copy);
  va_end(copy);
  if (needed <= 0) return std::string();
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  vsnprintf(&text[0], text.size(), fmt.c_str(), args);
  text.resize(static_cast<size_t>(needed));
  return text;
}

void logMessage(const char* format, ...) {
  int savedErrno = errno;
  if (!logFd.valid()) return;
  va_list args;
  va_start(args, format);
  std::string text = formatLogText(savedErrno, format, args);
  va_end(args);
  // A record is one line, also when it quotes a multi-line server reply,
  // and shows a reply's or a file's control characters escaped, so that
  // reading the log in a terminal runs no escape sequence.
  std::string record = timePrefix() + printableText(text, LineBreaks::kSpace) + "\n";
  // One write per record keeps records whole when several processes append.
  const char* p = record.data();
  size_t left = record.size();
  while (left > 0) {
    ssize_t n = write(logFd.get(), p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  errno = savedErrno;
}

int redirectToLog(int fd) {
  if (!logFd.valid() || fd < 0) return -1;
  return dup2(logFd.get(), fd) == fd ? 0 : -1;
}

void closeLog() { logFd.reset(); }

}  // namespace cvreport
