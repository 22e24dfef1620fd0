// The submit page, the "Sending..." window and the result page.
#pragma once

#include <newt.h>

#include <string>

#include "run/report_run.h"
#include "submit/upload_run.h"
#include "wizard/page.h"

namespace cvreport {

// Asks whether to submit the finished archive.
class DlgWizStep4 : public WizDialog {
 public:
  explicit DlgWizStep4(ReportRun& reportRun) : reportRun_(reportRun) {}
  WizResult run() override;

  std::string text;

 private:
  ReportRun& reportRun_;
};

// The "Sending..." window around one upload.
class DlgWizStep4Send : public WizDialog {
 public:
  explicit DlgWizStep4Send(ReportRun& reportRun) : reportRun_(reportRun) {}
  WizResult run() override;
  // Uploads until it succeeds or the user gives up on the failure page.
  WizResult send();

  newtComponent scale = nullptr;
  newtComponent retryNotice = nullptr;  // the announcement of a retry

 private:
  static constexpr int kRetryNoticeWidth = 50;
  UploadOutcome uploadOnce();
  void dropRetriedArchive();

  ReportRun& reportRun_;
};

// The problem ID the service assigned.
class DlgWizStep5 : public WizDialog {
 public:
  WizResult run() override;

  std::string text;
};

}  // namespace cvreport
