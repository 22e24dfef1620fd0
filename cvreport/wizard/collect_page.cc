// The collection page: runs the collector and follows its progress lines
// while the page stays live for "Cancel".
#include <newt.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "run/interrupt.h"
#include "run/log.h"
#include "run/session.h"
#include "submit/child.h"
#include "submit/collector.h"
#include "submit/pipe_reader.h"
#include "submit/progress.h"
#include "wizard/dialogs.h"
#include "wizard/pages.h"
#include "wizard/screen.h"
#include "wizard/texts.h"

namespace cvreport {
namespace {

constexpr int kTimerMillis = 200;
constexpr int kTicksPerCheck = 4;
constexpr size_t kMaxLine = 4095;

// A collector left behind by "Cancel" would go on writing into the files
// directory, next to the one the page starts when it is shown again. It
// gets the time to stop the commands it started, which sit in process
// groups of their own where a signal to its group does not reach them.
void stopCollector(ChildProcess& child) {
  setInterruptTarget(0);
  stopChild(child, true, kStopGraceMillis);
  stopWatchingInterrupts();
}

// True once the collector's output has ended.
bool readProgress(ChildProcess& child, std::string& pending, int& progress) {
  std::vector<std::string> lines;
  PipeState state = readPipeLines(fileno(child.stream), pending, lines, kMaxLine);
  for (const std::string& line : lines) parseCollectorProgress(line, progress);
  return state != PipeState::kOpen;
}

// After the output has ended: true when the collector succeeded. A close that
// failed leaves the status unknown, which counts as success.
bool reapCollector(ChildProcess& child) {
  int status = 0;
  if (closeAndReap(child, &status) == 0 && status != 0) return false;
  return true;
}

}  // namespace

WizResult DlgWizStep3::run() {
  newtGrid grid = newtCreateGrid(1, 3);
  placeComponent(grid, 0, 0, reflowedTextbox(kCollectText, 45, 9, 9), 0, 0);
  scale = newtScale(-1, -1, 45, 100);
  placeComponent(grid, 0, 1, scale, 1, 0);
  newtComponent cancel = nullptr;
  placeSubgrid(grid, 0, 2, makeButtonBar(tr("Cancel"), &cancel, nullptr, nullptr), 0, 1,
               NEWT_ANCHOR_RIGHT);
  NewtWindow window;
  NewtForm owned;
  form = owned.get();
  window.openGrid(grid, tr("Gathering information..."));
  newtGridAddComponentsToForm(grid, form, 1);
  newtGridFree(grid, 1);
  newtDrawForm(form);
  newtRefresh();

  WizResult code = collect();
  form = nullptr;
  scale = nullptr;
  return code;
}

WizResult DlgWizStep3::collect() {
  const ReportSession& s = reportSession;
  ChildProcess child;
  if (launchCollector(child, collectorArguments(s.collectorPath, true, s.filesDir), true) != 0) {
    showFatalError(child.message);
    return WIZ_ABORT;
  }
  // SIGTERM, SIGHUP or Ctrl-C while it runs stops the collector and ends
  // the wizard (runWizard says why); the collector leads its own group, so
  // the signal is passed on to that group.
  watchInterrupts();
  setInterruptTarget(-child.pid);
  newtFormSetTimer(form, kTimerMillis);
  int tick = -1;
  bool outputEnded = false;
  bool reaped = false;
  std::string pending;
  for (;;) {
    newtExitStruct exit;
    newtFormRun(form, &exit);
    if (pendingInterrupt()) {
      stopCollector(child);
      return WIZ_ABORT;
    }
    if (exit.reason == newtExitStruct::NEWT_EXIT_COMPONENT ||
        exit.reason == newtExitStruct::NEWT_EXIT_ERROR) {
      if (!reaped) stopCollector(child);
      return WIZ_CANCEL;
    }
    // Keys pressed meanwhile (F12, Escape) must not hurry the period.
    if (exit.reason != newtExitStruct::NEWT_EXIT_TIMER) continue;
    tick = (tick + 1) % kTicksPerCheck;
    if (tick != 0) continue;
    if (reaped) return WIZ_NEXT;
    if (outputEnded) {
      progress = 100;
      reaped = true;
      bool succeeded = reapCollector(child);
      setInterruptTarget(0);
      stopWatchingInterrupts();
      if (!succeeded) {
        logMessage("%s", kCollectFailedText);
        showMessageBox(tr("Error"), kCollectFailedText, tr("Exit"), nullptr, false);
        return WIZ_ABORT;
      }
    } else {
      outputEnded = readProgress(child, pending, progress);
    }
    newtScaleSet(scale, static_cast<unsigned long long>(scalePercent(progress)));
    newtRefresh();
  }
}

}  // namespace cvreport
