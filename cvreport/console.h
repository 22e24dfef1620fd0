// The console report: all five contact options given, nothing asked.
//
// Errors in cvreport follow one rule. run/ and submit/ return a status (0 or
// -1, or a named enum where there are more outcomes) and put the reason in a
// message out-argument (or ChildProcess::message); they neither print nor
// show anything. The front end that owns the user interface (this console
// flow, or the wizard) logs the failure and tells the user, each once. The
// exceptions are records that only the lower layer can write: the child
// plumbing logs what a forked process hit, and the upload worker writes its
// reply, failure reasons included, on its stdout for the parent to show.
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
