#include "submit/pipe_reader.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

namespace cvreport {

PipeState drainPipe(int fd, std::string& collected) {
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      collected.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) return PipeState::kEnded;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? PipeState::kOpen : PipeState::kFailed;
  }
}

PipeState readPipeLines(int fd, std::string& pending, std::vector<std::string>& lines,
                        size_t maxLine) {
  PipeState state = drainPipe(fd, pending);
  size_t start = 0;
  for (;;) {
    size_t end = pending.find('\n', start);
    size_t length = (end == std::string::npos ? pending.size() : end) - start;
    if (maxLine > 0 && length >= maxLine) {
      lines.push_back(pending.substr(start, maxLine));
      start += maxLine;
      continue;
    }
    if (end == std::string::npos) break;
    lines.push_back(pending.substr(start, length + 1));
    start = end + 1;
  }
  pending.erase(0, start);
  if (state != PipeState::kOpen && !pending.empty()) {
    lines.push_back(pending);
    pending.clear();
  }
  return state;
}

void waitForPipe(int fd, int millis) {
  struct pollfd waitFor = {fd, POLLIN, 0};
  poll(&waitFor, 1, millis);
}

}  // namespace cvreport
