// The upload worker's "PROGRESS=" lines: written by the worker, turned into
// "Upload progress" lines by the console.
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

// Prints "Upload progress: N%" for each complete "PROGRESS=" line of the
// collected output after scanPos, and moves scanPos past them.
void printCompleteProgressLines(const std::string& collected, size_t& scanPos, FILE* out);

}  // namespace cvreport
