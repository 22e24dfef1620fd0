// The submit page, the "Sending..." window with the upload, and the result.
#include <newt.h>
#include <signal.h>

#include <string>

#include "run/interrupt.h"
#include "run/session.h"
#include "submit/child.h"
#include "submit/layout.h"
#include "submit/progress.h"
#include "submit/reply.h"
#include "submit/upload.h"
#include "wizard/dialogs.h"
#include "wizard/pages.h"
#include "wizard/screen.h"
#include "wizard/texts.h"

namespace cvreport {

WizResult DlgWizStep4::run() {
  if (!reportSession.archivePath.empty()) text = submitPageText(reportSession.archivePath);
  bool submit = showMessageBox(tr("Submit report"), text.c_str(), tr("Cancel"), tr("Submit"), true);
  if (submit) {
    DlgWizStep4Send sending;
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
    NewtWindow window;
    NewtForm form;
    window.openGrid(grid, tr("Sending..."));
    newtGridAddComponentsToForm(grid, form.get(), 1);
    newtGridFree(grid, 1);
    newtDrawForm(form.get());
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
  ChildProcess worker;
  if (submitReport(worker, s.archivePath, s.contact, s.config) != 0) {
    showSubmitError(worker.message.empty() ? "Fatal error" : worker.message);
    return WIZ_ABORT;
  }
  // A signal during the upload stops the worker: no report is filed that
  // the user will not see. The archive is kept (runWizard says so).
  watchInterrupts();
  setInterruptTarget(worker.pid);
  if (pendingInterrupt()) kill(worker.pid, SIGTERM);
  int status = 0;
  std::string collected;
  newtComponent shown = scale;
  ChildState ended = waitForWorker(
      worker, &status, collected, [shown](const std::string& text, size_t& scanPos) {
        int percent = 0;
        if (!lastUploadPercent(text, scanPos, percent)) return;
        newtScaleSet(shown, static_cast<unsigned long long>(percent));
        newtRefresh();
      });
  setInterruptTarget(0);
  stopWatchingInterrupts();
  if (pendingInterrupt() && (ended != ChildState::kExited || status != 0)) {
    s.keepWorkDir = true;
    return WIZ_ABORT;
  }
  if (ended != ChildState::kExited) {
    showSubmitError("Fatal error");
    return WIZ_ABORT;
  }
  parseServerReply(collected, s.replyValues, s.replyMessage);
  if (status != 0) {
    showSubmitError(s.replyMessage);
    return WIZ_ABORT;
  }
  return WIZ_NEXT;
}

WizResult DlgWizStep5::run() {
  std::string idText;
  text = resultText(reportSession.replyValues, idText);
  if (!idText.empty()) layoutText(reportSession.exitMessage, idText, kExitTextWidth);
  showMessageBox(tr("Congratulations!"), text.c_str(), tr("Exit"), nullptr, false);
  return WIZ_FINISH;
}

}  // namespace cvreport
