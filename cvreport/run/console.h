// The console report: all five contact options given, nothing asked.
#pragma once

namespace cvreport {

// Runs the whole report and returns the exit status (0 submitted, 1 to 7 the
// step that failed).
int runConsoleReport();

}  // namespace cvreport
