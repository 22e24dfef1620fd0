#include "wizard/collect_page.h"

#include <newt.h>

#include <string>

#include "run/interrupt.h"
#include "run/log.h"
#include "run/session.h"
#include "run/text.h"
#include "submit/collector.h"
#include "submit/preflight.h"
#include "submit/progress.h"
#include "wizard/dialogs.h"
#include "wizard/hangup.h"
#include "wizard/screen.h"
#include "wizard/texts.h"

namespace cvreport {
namespace {

constexpr int kTimerMillis = 200;
constexpr int kTicksPerCheck = 4;

}  // namespace

WizResult DlgWizStep3::checkService() {
  if (reportSession.collectOnly) return WIZ_NEXT;
  std::string reason;
  int reached = 0;
  runBehindNotice(tr("Checking the support service..."), [&] {
    // Ctrl-C, SIGTERM or SIGHUP ends the check and the wizard.
    reportRun_.watchInterrupts();
    reached = checkServiceReachable(reportSession.config, &reason);
    reportRun_.stopWatchingInterrupts();
  });
  if (reached == 0) return WIZ_NEXT;
  if (pendingInterrupt()) return WIZ_ABORT;
  logMessage("%s", unreachableWarning(reason).c_str());
  std::string text = unreachableText(printableText(reason, LineBreaks::kKeep));
  bool canceled = showMessageBox(tr("Warning"), text.c_str(), tr("Continue"), tr("Cancel"), false);
  return canceled ? WIZ_CANCELED : WIZ_NEXT;
}

WizResult DlgWizStep3::run() {
  WizResult checked = checkService();
  if (checked != WIZ_NEXT) return checked;
  newtGrid grid = newtCreateGrid(1, 3);
  placeComponent(grid, 0, 0, reflowedTextbox(kCollectText, 45, 9, 9), 0, 0);
  scale = newtScale(-1, -1, 45, 100);
  placeComponent(grid, 0, 1, scale, 1, 0);
  newtComponent cancel = nullptr;
  placeSubgrid(grid, 0, 2, makeButtonBar(tr("Cancel"), &cancel, nullptr, nullptr), 0, 1,
               NEWT_ANCHOR_RIGHT);
  GridWindow window(grid, tr("Gathering information..."));
  form = window.form();
  newtDrawForm(form);
  newtRefresh();

  WizResult code = collect();
  form = nullptr;
  scale = nullptr;
  return code;
}

WizResult DlgWizStep3::waitPeriod() {
  newtScaleSet(scale, static_cast<unsigned long long>(scalePercent(progress)));
  newtRefresh();
  for (int tick = 0; tick < kTicksPerCheck;) {
    newtExitStruct exit;
    newtFormRun(form, &exit);
    // The terminal gone ends the collection as SIGHUP does, not as Cancel.
    if (exit.reason == newtExitStruct::NEWT_EXIT_ERROR) terminalHungUp();
    if (pendingInterrupt()) return WIZ_ABORT;
    if (exit.reason == newtExitStruct::NEWT_EXIT_COMPONENT ||
        exit.reason == newtExitStruct::NEWT_EXIT_ERROR) {
      return WIZ_CANCEL;
    }
    // Keys pressed meanwhile (F12, Escape) must not hurry the period.
    if (exit.reason == newtExitStruct::NEWT_EXIT_TIMER) ++tick;
  }
  return WIZ_NEXT;
}

WizResult DlgWizStep3::collect() {
  // A collector left behind by "Cancel" would go on writing into the files
  // directory, next to the one the page starts when it is shown again:
  // runCollector stops it, and everything it started, in its own group.
  CollectorView view;
  view.progressLines = true;
  view.ownGroup = true;
  view.line = [this](const std::string& line) { parseCollectorProgress(line, progress); };
  view.pace = [this] { return waitPeriod() != WIZ_CANCEL; };
  newtFormSetTimer(form, kTimerMillis);
  // SIGTERM, SIGHUP or Ctrl-C while it runs stops the collector and ends
  // the wizard (runWizard says why).
  reportRun_.watchInterrupts();
  CollectOutcome collected = runCollector(reportSession, view);
  reportRun_.stopWatchingInterrupts();
  switch (collected.result) {
    case CollectResult::kNotStarted:
      showFatalError(collected.error);
      return WIZ_ABORT;
    case CollectResult::kInterrupted:
      return WIZ_ABORT;
    case CollectResult::kCanceled:
      return WIZ_CANCEL;
    case CollectResult::kFailed:
      logMessage("%s", kCollectFailedText);
      showMessageBox(tr("Error"), kCollectFailedText, tr("Exit"), nullptr, false);
      return WIZ_ABORT;
    case CollectResult::kCollected:
      break;
  }
  // The full scale stays a moment before the next page.
  progress = 100;
  return waitPeriod();
}

}  // namespace cvreport
