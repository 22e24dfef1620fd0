// Entry points of the full-screen wizard, taken when no contact option is given.
#pragma once

namespace cvreport {

// Non-zero when the wizard cannot run (no terminal); it has then told the
// user why on stderr, and no report run has started.
int initWizard();
// Runs the report through the pages; every failure has been logged and
// shown by the wizard itself.
void runWizard();
void closeWizard();
// The wizard's at-exit handler: its final message on the restored terminal.
void printExitMessage();

}  // namespace cvreport
