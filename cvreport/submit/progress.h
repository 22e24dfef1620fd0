// The children's progress lines: the upload worker's "PROGRESS=N", which it
// writes itself, and the collector's "Progress: N". One parser for each,
// used by both front ends.
#pragma once

#include <curl/curl.h>

#include <string>

namespace cvreport {

// Percentage of the upload done, truncated toward zero; 0 while the total is
// unknown.
int uploadPercent(curl_off_t uploadTotal, curl_off_t uploadNow);

// The time the service has to answer once the whole body is sent. libcurl
// limits only a stall (under 1 byte/s) or the whole transfer; a reply that
// trickles in a few bytes a second would hold the report for ever.
struct ReplyDeadline {
  long limitSeconds = 0;  // 0: no limit
  bool running = false;
  double startedAt = 0;
  bool expired = false;
  // The whole body of a request with one has gone out: from then on the
  // service may have filed the report, so a failure is never retried.
  bool bodySent = false;
};

// True once the body has been sent (uploadNow == uploadTotal) for more than
// the limit at now (seconds on a monotonic clock). The clock starts again
// when a new request sends its body (a Digest retry). Sets bodySent, with
// or without a limit, once a non-empty body has gone out whole.
bool replyDeadlinePassed(ReplyDeadline& deadline, curl_off_t uploadTotal, curl_off_t uploadNow,
                         double now);

// libcurl transfer-info callback of the worker, with a ReplyDeadline as its
// data (or none). It writes a line only when the percentage differs from
// the last one written, so a large upload yields about a hundred lines, not
// one per callback; it ends the transfer when the deadline passes.
int reportUploadProgress(void* deadline, curl_off_t downloadTotal, curl_off_t downloadNow,
                         curl_off_t uploadTotal, curl_off_t uploadNow);
// Forgets the last written percentage (a new worker starts afresh).
void resetUploadProgress();

// The next complete "PROGRESS=N" line at the start of a line of collected
// after scanPos, N clamped to 0-100; scanPos moves past every complete line
// looked at. False when no complete progress line is left.
bool nextUploadPercent(const std::string& collected, size_t& scanPos, int& percent);

// A collector line "Progress: N"; false for any other line.
bool parseCollectorProgress(const std::string& line, int& percent);
// What a scale can show of a percentage.
int scalePercent(int percent);

}  // namespace cvreport
