// Entry points of the full-screen wizard, taken when no contact option is given.
#pragma once

#include <memory>
#include <vector>

namespace cvreport {

class WizDialog;

struct WizardPages {
  WizardPages();
  ~WizardPages();
  std::vector<std::unique_ptr<WizDialog>> pages;
};

// Non-zero when the wizard cannot run (no terminal); it has then told the
// user why on stderr, and no report run has started.
int initWizard(WizardPages& pages);
// Runs the report through the pages; every failure has been logged and
// shown by the wizard itself.
void runWizard(WizardPages& pages);
void closeWizard(WizardPages& pages);
// The wizard's at-exit handler: its final message on the restored terminal.
void printExitMessage();

}  // namespace cvreport
