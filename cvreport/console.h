// The console report: all five contact options given, nothing asked. As
// a front end it logs and prints the failures of the layers below (the
// error rule is in run/session.h).
#pragma once

#include <string>

namespace cvreport {

// Runs the whole report and returns the exit status (0 submitted, 1 to 7 the
// step that failed); every failure has been logged and printed here.
int runConsoleReport();

// Logs "Error: message" and prints message on stderr.
void reportError(const std::string& message);
// Prints text and the manual-send hint on stderr, keeps the archive and ends
// the run.
void reportFatal(const std::string& text);

}  // namespace cvreport
