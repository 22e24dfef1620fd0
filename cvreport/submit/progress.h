// The children's progress lines: the upload worker's "PROGRESS=N", which it
// writes itself, and the collector's "Progress: N". One parser for each,
// used by both front ends.
#pragma once

#include <curl/curl.h>
#include <stdio.h>

#include <string>

namespace cvreport {

// Percentage of the upload done, truncated toward zero; 0 while the total is
// unknown.
int uploadPercent(curl_off_t uploadTotal, curl_off_t uploadNow);

// libcurl transfer-info callback of the worker. It writes a line only when
// the percentage differs from the last one written, so a large upload yields
// about a hundred lines, not one per callback.
int reportUploadProgress(void* unused, curl_off_t downloadTotal, curl_off_t downloadNow,
                         curl_off_t uploadTotal, curl_off_t uploadNow);
// Forgets the last written percentage (a new worker starts afresh).
void resetUploadProgress();

// The next complete "PROGRESS=N" line at the start of a line of collected
// after scanPos, N clamped to 0-100; scanPos moves past every complete line
// looked at. False when no complete progress line is left.
bool nextUploadPercent(const std::string& collected, size_t& scanPos, int& percent);
// The last of those lines; false when none.
bool lastUploadPercent(const std::string& collected, size_t& scanPos, int& percent);
// Prints "Upload progress: N%" for each of those lines (the console's view).
void printCompleteProgressLines(const std::string& collected, size_t& scanPos, FILE* out);

// A collector line "Progress: N"; false for any other line.
bool parseCollectorProgress(const std::string& line, int& percent);
// What a scale can show of a percentage.
int scalePercent(int percent);

}  // namespace cvreport
