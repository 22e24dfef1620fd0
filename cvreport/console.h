// The console report: all five contact options given, nothing asked. As
// a front end it logs and prints the outcomes of the layers below (the
// error rule is in run/session.h).
#pragma once

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
  kInterrupted = 128,  // plus the signal's number
};

// Runs the whole report; every outcome has been logged and printed here,
// once.
ConsoleStatus runConsoleReport();
// The process's exit status for status: its number, and 128 plus the
// signal's for an interrupted run.
int consoleExitStatus(ConsoleStatus status);

}  // namespace cvreport
