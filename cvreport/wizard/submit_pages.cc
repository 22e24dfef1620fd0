#include "wizard/submit_pages.h"

#include <newt.h>

#include <string>

#include "run/kept_store.h"
#include "run/log.h"
#include "run/session.h"
#include "run/text.h"
#include "submit/archive_check.h"
#include "submit/layout.h"
#include "submit/upload_run.h"
#include "wizard/dialogs.h"
#include "wizard/hangup.h"
#include "wizard/screen.h"
#include "wizard/texts.h"

namespace cvreport {

WizResult DlgWizStep4::run() {
  if (reportSession.collectOnly) {
    showCollectedOnly();
    return WIZ_FINISH;
  }
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
  newtGrid grid = newtCreateGrid(1, 2);
  scale = newtScale(-1, -1, 15, 100);
  placeComponent(grid, 0, 0, scale, 1, 0);
  // Empty until a failed attempt is announced; room for the longest line.
  retryNotice = newtTextbox(-1, -1, kRetryNoticeWidth, 3, NEWT_FLAG_WRAP);
  placeComponent(grid, 0, 1, retryNotice, 1, 0);
  WizResult code = WIZ_ABORT;
  {
    GridWindow window(grid, tr("Sending..."));
    newtDrawForm(window.form());
    newtRefresh();
    code = send();
  }
  scale = nullptr;
  retryNotice = nullptr;
  // Keys pressed while the window was up must not answer the next page.
  if (!terminalHungUp()) newtClearKeyBuffer();
  return code;
}

UploadOutcome DlgWizStep4Send::uploadOnce() {
  newtComponent shown = scale;
  newtComponent notice = retryNotice;
  newtScaleSet(shown, 0);
  newtTextboxSetText(notice, "");
  newtRefresh();
  UploadFollower follower;
  follower.percent = [shown](int percent) {
    newtScaleSet(shown, static_cast<unsigned long long>(percent));
    newtRefresh();
  };
  follower.retry = [shown, notice](const std::string& line) {
    newtScaleSet(shown, 0);
    newtTextboxSetText(notice, printableText(line, LineBreaks::kSpace).c_str());
    newtRefresh();
  };
  // A signal during the upload or a retry's pause stops it: no report is
  // filed that the user will not see. The archive is kept (runWizard says so).
  reportRun_.watchInterrupts();
  UploadOutcome sent = runUpload(reportSession, follower);
  reportRun_.stopWatchingInterrupts();
  return sent;
}

WizResult DlgWizStep4Send::send() {
  ReportSession& s = reportSession;
  // An archive over the service's limit is kept rather than sent to be
  // refused; sending it again would not help.
  std::string tooLarge;
  if (checkArchiveFileSize(s.archivePath, s.maxArchiveSize, &tooLarge) != 0) {
    logMessage("Error: %s", tooLarge.c_str());
    showSubmitError(tooLarge, false);
    return WIZ_ABORT;
  }
  for (;;) {
    UploadOutcome sent = uploadOnce();
    std::string failure;
    switch (sent.result) {
      case SubmitResult::kAccepted:
        s.replyValues = sent.replyValues;
        dropRetriedArchive();
        return WIZ_NEXT;
      case SubmitResult::kInterrupted:
        s.exitMessage = keepArchiveWithHint();
        return WIZ_ABORT;
      case SubmitResult::kNotStarted:
        failure = sent.error.empty() ? "Fatal error" : sent.error;
        break;
      case SubmitResult::kWaitFailed:
        failure = "Fatal error";
        break;
      default:
        failure = sent.replyMessage;
        break;
    }
    if (!showSubmitError(failure)) return WIZ_ABORT;
  }
}

void DlgWizStep4Send::dropRetriedArchive() {
  // A failed attempt kept the archive; once it is sent it is kept no more.
  std::string message;
  bool removed = false;
  if (removeKeptReport(reportSession.archivePath, removed, &message) != 0) {
    logMessage("%s", message.c_str());
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
