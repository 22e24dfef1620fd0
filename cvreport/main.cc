// cvreport: files a problem report with the platform vendor's support service,
// from the command line or through a full-screen wizard.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "console.h"
#include "kept_list.h"
#include "run/interrupt.h"
#include "run/log.h"
#include "run/options.h"
#include "run/session.h"
#include "send.h"
#include "wizard/wizard.h"

using namespace cvreport;

namespace {

// Ends the process at once: no at-exit handler or static destructor runs
// (the log is flushed record by record, so nothing is lost).
[[noreturn]] void endNow(int status) {
  fflush(stdout);
  fflush(stderr);
  _exit(status);
}

[[noreturn]] void runConsoleMode() {
  int status = consoleExitStatus(runConsoleReport());
  logMessage("Session finished");
  endNow(status);
}

int runWizardMode() {
  atexit(printExitMessage);
  if (initWizard() != 0) return 1;
  runWizard();
  closeWizard();
  int signalNumber = pendingInterrupt();
  return signalNumber ? 128 + signalNumber : 0;
}

}  // namespace

int main(int argc, char** argv) {
  switch (parseCommandLine(argc, argv, reportSession)) {
    case RunMode::kUsage:
      printUsage(stdout);
      endNow(1);
    case RunMode::kVersion:
      printVersion(stdout);
      endNow(0);
    case RunMode::kPartialContact:
      printPartialContactError();
      endNow(1);
    case RunMode::kConsole:
      runConsoleMode();
    case RunMode::kSend:
      endNow(runSendReport());
    case RunMode::kKept:
      endNow(runKeptList());
    case RunMode::kWizard:
      break;
  }
  return runWizardMode();
}
