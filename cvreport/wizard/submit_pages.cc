#include "wizard/submit_pages.h"

#include <newt.h>

#include <string>

#include "run/log.h"
#include "run/session.h"
#include "submit/archive_check.h"
#include "submit/layout.h"
#include "submit/upload_run.h"
#include "wizard/dialogs.h"
#include "wizard/screen.h"
#include "wizard/texts.h"

namespace cvreport {

WizResult DlgWizStep4::run() {
  if (!reportSession.archivePath.empty()) text = submitPageText(reportSession.archivePath);
  bool submit = showMessageBox(tr("Submit report"), text.c_str(), tr("Cancel"), tr("Submit"), true);
  if (submit) {
    DlgWizStep4Send sending(reportRun_);
    return sending.run();
  }
  reportSession.keepWorkDir = true;
  return WIZ_CANCEL;
}

WizResult DlgWizStep4Send::run() {
  newtGrid grid = newtCreateGrid(1, 1);
  scale = newtScale(-1, -1, 15, 100);
  placeComponent(grid, 0, 0, scale, 1, 0);
  WizResult code = WIZ_ABORT;
  {
    GridWindow window(grid, tr("Sending..."));
    newtDrawForm(window.form());
    newtRefresh();
    code = send();
  }
  scale = nullptr;
  // Keys pressed while the window was up must not answer the next page.
  newtClearKeyBuffer();
  return code;
}

WizResult DlgWizStep4Send::send() {
  ReportSession& s = reportSession;
  newtComponent shown = scale;
  std::string tooLarge;
  if (checkArchiveFileSize(s.archivePath, s.maxArchiveSize, &tooLarge) != 0) {
    logMessage("Error: %s", tooLarge.c_str());
    showSubmitError(tooLarge);
    return WIZ_ABORT;
  }
  // A signal during the upload stops the worker: no report is filed that
  // the user will not see. The archive is kept (runWizard says so).
  reportRun_.watchInterrupts();
  UploadOutcome sent = runUpload(s, [shown](int percent) {
    newtScaleSet(shown, static_cast<unsigned long long>(percent));
    newtRefresh();
  });
  reportRun_.stopWatchingInterrupts();
  switch (sent.result) {
    case SubmitResult::kAccepted:
      s.replyValues = sent.replyValues;
      return WIZ_NEXT;
    case SubmitResult::kNotStarted:
      showSubmitError(sent.error.empty() ? "Fatal error" : sent.error);
      return WIZ_ABORT;
    case SubmitResult::kInterrupted:
      s.keepWorkDir = true;
      return WIZ_ABORT;
    case SubmitResult::kWaitFailed:
      showSubmitError("Fatal error");
      return WIZ_ABORT;
    default:
      showSubmitError(sent.replyMessage);
      return WIZ_ABORT;
  }
}

WizResult DlgWizStep5::run() {
  std::string idText;
  text = resultText(reportSession.replyValues, idText);
  if (!idText.empty()) layoutText(reportSession.exitMessage, idText, kExitTextWidth);
  showMessageBox(tr("Congratulations!"), text.c_str(), tr("Exit"), nullptr, false);
  return WIZ_FINISH;
}

}  // namespace cvreport
