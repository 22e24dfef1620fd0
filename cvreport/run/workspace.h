// The report run's private work directory under /tmp, its start and its end.
#pragma once

#include <string>

#include "run/session.h"

namespace cvreport {

enum class RunStart {
  kReady,
  kFailedEarly,        // nothing to clean up
  kFailedWithWorkDir,  // the caller still runs cleanupReportRun
};

// Opens the log, checks that the configuration and the collector are
// root's alone, loads the configuration and checks its addresses, makes the
// work directory and starts the network library, filling session; on
// failure the reason is in message. A log that is a link or not a regular
// file is not used, and session.logWarning says so (the run goes on). Logs
// "Session started" only; the front end reports the failure.
RunStart startReportRun(ReportSession& session, std::string* message);
// Removes the work directory unless keepWorkDir, and ends the network
// library. Silent: a directory that will not go is left behind.
void cleanupReportRun(ReportSession& session);
// -1 when some entry or the directory itself could not be removed; silent.
int removeDirectoryTree(const char* path);

// The sentence that asks the reporter to send the archive by hand.
std::string manualSendHint(const std::string& archivePath);

}  // namespace cvreport
