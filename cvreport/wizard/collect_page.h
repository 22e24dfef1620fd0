// The collection page.
#pragma once

#include <newt.h>

#include "run/report_run.h"
#include "wizard/page.h"

namespace cvreport {

// Runs the collector and follows its progress.
class DlgWizStep3 : public WizDialog {
 public:
  explicit DlgWizStep3(ReportRun& reportRun) : reportRun_(reportRun) {}
  WizResult run() override;
  WizResult collect();

  int progress = 0;
  newtComponent scale = nullptr;
  newtComponent form = nullptr;

 private:
  // One period of the page: WIZ_NEXT once it has passed, WIZ_CANCEL for
  // "Cancel", WIZ_ABORT for an interrupt.
  WizResult waitPeriod();
  // Before collecting: WIZ_NEXT to collect (the service answers, or the
  // user goes on without it), WIZ_CANCELED, or WIZ_ABORT for an interrupt.
  WizResult checkService();

  ReportRun& reportRun_;
};

}  // namespace cvreport
