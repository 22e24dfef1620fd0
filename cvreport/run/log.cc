#include "run/log.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

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

int openLog(const char* path) {
  // Children that exec get the log only as their stderr, never as a spare
  // descriptor; the forked upload worker keeps it.
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  logFd.reset(fd);
  return 0;
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
  // A record is one line, also when it quotes a multi-line server reply.
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::string record = timePrefix() + text + "\n";
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

int logDescriptor() { return logFd.get(); }

}  // namespace cvreport
