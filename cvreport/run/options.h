// The command line of cvreport and the choice between console and wizard.
#pragma once

#include <stdio.h>

namespace cvreport {

enum class RunMode {
  kUsage,           // -h, an unknown option or a missing argument
  kPartialContact,  // some but not all five contact options
  kConsole,         // all five contact options
  kWizard,          // none of them
};

// Fills reportSession's contact fields and flags; the mode decides the rest.
RunMode parseCommandLine(int argc, char** argv);
void printUsage(FILE* stream);
void printPartialContactError();
// The wizard's at-exit handler: its final message on the restored terminal.
void printExitMessage();

}  // namespace cvreport
