#include "submit/progress.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

namespace cvreport {
namespace {

int lastWrittenPercent = -1;

}  // namespace

int uploadPercent(curl_off_t uploadTotal, curl_off_t uploadNow) {
  if (uploadTotal == 0) return 0;
  return static_cast<int>(static_cast<double>(uploadNow) * 100.0 / static_cast<double>(uploadTotal));
}

bool replyDeadlinePassed(ReplyDeadline& deadline, curl_off_t uploadTotal, curl_off_t uploadNow,
                         double now) {
  bool whole = uploadTotal > 0 && uploadNow >= uploadTotal;
  if (whole) deadline.bodySent = true;
  if (deadline.limitSeconds <= 0) return false;
  if (!whole) {
    deadline.running = false;
    return false;
  }
  if (!deadline.running) {
    deadline.running = true;
    deadline.startedAt = now;
  }
  if (now - deadline.startedAt > static_cast<double>(deadline.limitSeconds)) deadline.expired = true;
  return deadline.expired;
}

int reportUploadProgress(void* deadlinePtr, curl_off_t, curl_off_t, curl_off_t uploadTotal,
                         curl_off_t uploadNow) {
  if (deadlinePtr) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    if (replyDeadlinePassed(*static_cast<ReplyDeadline*>(deadlinePtr), uploadTotal, uploadNow,
                            seconds)) {
      return 1;  // libcurl ends the transfer: CURLE_ABORTED_BY_CALLBACK
    }
  }
  int percent = uploadPercent(uploadTotal, uploadNow);
  if (percent != lastWrittenPercent) {
    lastWrittenPercent = percent;
    printf("PROGRESS=%i\n", percent);
    // The parent shows progress live; a pipe would otherwise hold it back.
    fflush(stdout);
  }
  return 0;
}

void resetUploadProgress() { lastWrittenPercent = -1; }

bool nextUploadPercent(const std::string& collected, size_t& scanPos, int& percent) {
  static const std::string kKey = "PROGRESS=";
  for (;;) {
    size_t at = collected.find(kKey, scanPos);
    if (at == std::string::npos) return false;
    size_t end = collected.find('\n', at);
    if (end == std::string::npos) return false;
    scanPos = end + 1;
    // Only a key at the start of a line is a progress line: the service's
    // free text after the values may say anything.
    if (at != 0 && collected[at - 1] != '\n') continue;
    std::string number = collected.substr(at + kKey.size(), end - at - kKey.size());
    char* rest = nullptr;
    long value = strtol(number.c_str(), &rest, 10);
    if (number.empty() || *rest != '\0') continue;
    percent = static_cast<int>(value < 0 ? 0 : value > 100 ? 100 : value);
    return true;
  }
}

bool parseCollectorProgress(const std::string& line, int& percent) {
  int value = 0;
  if (sscanf(line.c_str(), "Progress: %d", &value) != 1) return false;
  percent = value;
  return true;
}

int scalePercent(int percent) { return percent < 0 ? 0 : percent > 100 ? 100 : percent; }

}  // namespace cvreport
