// The console report: all five contact options given, nothing asked. As
// a front end it logs and prints the outcomes of the layers below (the
// error rule is in run/session.h).
#pragma once

#include "run/session.h"

namespace cvreport {

// The console's exit statuses; scripts rely on the numbers.
enum class ConsoleStatus : int {
  kSubmitted = 0,
  kNotStarted = 1,  // also help shown and bad options (main)
  kContactNotWritten = 2,
  kCollectorNotStarted = 3,
  kCollectorFailed = 4,
  kUploadNotStarted = 5,
  kUploadWaitFailed = 6,
  kUploadFailed = 7,
  kKeptBack = 8,  // the reporter kept the report back (--review: abort)
  kObfuscationFailed = 9,  // --obfuscate: an original survived, or the map was refused
  kInterrupted = 128,  // plus the signal's number
};

// Runs the whole report; every outcome has been logged and printed here,
// once.
ConsoleStatus runConsoleReport();
// Logs and prints, each once, what the run's start went on without.
void showStartWarnings(const ReportSession& session);
// Uploads the session's archive with its progress on stdout and shows the
// outcome (the problem ID, or the reason and the hint for the kept
// archive); the report run and cvreport --send share it.
ConsoleStatus consoleUpload(ReportSession& session);
// The process's exit status for status: its number, and 128 plus the
// signal's for an interrupted run.
int consoleExitStatus(ConsoleStatus status);

}  // namespace cvreport
