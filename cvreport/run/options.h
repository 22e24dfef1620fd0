// The command line of cvreport and the choice between console and wizard.
#pragma once

#include <stdio.h>

#include "run/session.h"

namespace cvreport {

enum class RunMode {
  kUsage,           // -h, an unknown option or a missing argument
  kVersion,         // --version
  kPartialContact,  // some but not all five contact options
  kConsole,         // all five contact options
  kWizard,          // none of them
  kSend,            // --send ARCHIVE: the contact options given replace fields
  kKept,            // --kept: the kept reports, listed
};

// Fills the session's contact fields and flags (--collect-only goes with
// kConsole or kWizard, --review with kConsole alone, --obfuscate with both); the mode decides
// the rest.
// Never fails: a bad command line is the mode kUsage, which main reports.
RunMode parseCommandLine(int argc, char** argv, ReportSession& session);
// The front end's texts for kUsage, kVersion and kPartialContact.
void printUsage(FILE* stream);
void printVersion(FILE* stream);
void printPartialContactError();

}  // namespace cvreport
