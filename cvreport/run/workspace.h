// The report run's private work directory under /tmp, its start and its end,
// and the two console operations that report errors.
#pragma once

#include <string>

namespace cvreport {

// 0 ready; -1 failed before the work directory exists; 1 failed after.
int startReportRun(std::string& message);
void cleanupReportRun();
int removeDirectoryTree(const char* path);

// The sentence that asks the reporter to send the archive by hand.
const std::string& manualSendHint();
// Builds the sentence for an archive path; the hint above caches its result.
std::string buildManualSendHint(const std::string& archivePath);

void reportError(const std::string& message);
void reportFatal(const std::string& text);

}  // namespace cvreport
