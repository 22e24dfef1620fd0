// The submit page, the "Sending..." window with the upload, and the result.
#include <newt.h>
#include <poll.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "run/session.h"
#include "submit/child.h"
#include "submit/layout.h"
#include "submit/reply.h"
#include "submit/upload.h"
#include "wizard/dialogs.h"
#include "wizard/pages.h"
#include "wizard/pipe_reader.h"
#include "wizard/screen.h"
#include "wizard/texts.h"

namespace cvreport {
namespace {

constexpr int kPollMillis = 100;

// Moves the scale to the worker's latest complete "PROGRESS=" line.
void followScale(newtComponent scale, const std::string& collected, size_t& scanPos) {
  int percent = 0;
  if (!lastUploadPercent(collected, scanPos, percent)) return;
  newtScaleSet(scale, static_cast<unsigned long long>(percent));
  newtRefresh();
}

// Collects the worker's output until it has exited; the pollChildExit
// result. The pipe is drained all along, so the worker never blocks on it.
int waitForWorker(ChildProcess& worker, newtComponent scale, int& status, std::string& collected) {
  int fd = fileno(worker.stream);
  size_t scanPos = 0;
  for (;;) {
    int exited = pollChildExit(worker, &status);
    PipeState state = drainPipe(fd, collected);
    followScale(scale, collected, scanPos);
    if (exited != 0) return exited;
    if (state == PipeState::kOpen) {
      struct pollfd waitFor = {fd, POLLIN, 0};
      poll(&waitFor, 1, kPollMillis);
    } else {
      usleep(10000);  // the output has ended and the exit is due
    }
  }
}

}  // namespace

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
  newtComponent form = newtForm(nullptr, nullptr, 0);
  openGridWindow(grid, tr("Sending..."));
  newtGridAddComponentsToForm(grid, form, 1);
  newtGridFree(grid, 1);
  newtDrawForm(form);
  newtRefresh();
  WizResult code = send();
  newtFormDestroy(form);
  newtPopWindow();
  scale = nullptr;
  // Keys pressed while the window was up must not answer the next page.
  newtClearKeyBuffer();
  return code;
}

WizResult DlgWizStep4Send::send() {
  ReportSession& s = reportSession;
  ChildProcess worker;
  if (submitReport(worker) != 0) {
    showSubmitError(worker.message.empty() ? "Fatal error" : worker.message);
    return WIZ_ABORT;
  }
  int status = 0;
  std::string collected;
  if (waitForWorker(worker, scale, status, collected) < 0) {
    fclose(worker.stream);
    worker.stream = nullptr;
    showSubmitError("Fatal error");
    return WIZ_ABORT;
  }
  drainPipe(fileno(worker.stream), collected);
  fclose(worker.stream);
  worker.stream = nullptr;
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
