#include "wizard/dialogs.h"

#include <newt.h>

#include "run/kept_store.h"
#include "run/log.h"
#include "run/report_run.h"
#include "run/session.h"
#include "run/text.h"
#include "submit/layout.h"
#include "wizard/screen.h"
#include "wizard/texts.h"

namespace cvreport {
namespace {

constexpr int kBoxTextWidth = 60;
constexpr int kBoxTextFlex = 5;
// The window frame and shadow, the empty line, the buttons and a margin
// that keeps the banner in view.
constexpr int kBoxChromeRows = 11;

// A text taller than the screen (a long service reply) scrolls inside the
// box, so that its button stays on the screen.
newtComponent messageTextbox(const char* text) {
  int cols = 0;
  int rows = 0;
  newtGetScreenSize(&cols, &rows);
  int room = rows - kBoxChromeRows;
  return reflowedTextbox(text, kBoxTextWidth, kBoxTextFlex, kBoxTextFlex, room >= 3 ? room : 0);
}

}  // namespace

bool showMessageBox(const char* title, const char* text, const char* button1,
                    const char* button2, bool focusSecond) {
  newtComponent first = nullptr;
  newtComponent second = nullptr;
  newtGrid buttons = makeButtonBar(button1, &first, button2, &second);
  newtGrid grid = newtCreateGrid(1, 4);
  if (text) placeComponent(grid, 0, 0, messageTextbox(text), 0, NEWT_ANCHOR_LEFT);
  placeSubgrid(grid, 0, 3, buttons, 0, 1, 0, NEWT_GRID_FLAG_GROWX);
  GridWindow window(grid, title);
  newtFormSetCurrent(window.form(), focusSecond && second ? second : first);
  newtComponent ended = newtRunForm(window.form());
  return second && ended == second;
}

WizResult confirmCancel() {
  bool no = showMessageBox(tr("Warning!"),
                           tr("Are you sure you want to cancel submitting the problem report?"),
                           tr("Yes"), tr("No"), true);
  return no ? WIZ_BACK : WIZ_CANCEL;
}

void showStartError(const std::string& message) {
  logMessage("Error: %s", message.c_str());
  std::string shown = printableText(message, LineBreaks::kKeep);
  showMessageBox("Error", shown.c_str(), tr("Exit"), nullptr, false);
}

void showFatalError(const std::string& detail) {
  std::string text = detail.empty() ? tr("Fatal error!") : "Fatal error: " + detail + "!";
  showMessageBox(tr("Error"), text.c_str(), tr("Exit"), nullptr, false);
}

std::string keepArchiveNotice() {
  std::string message;
  std::string before = reportSession.archivePath;
  if (keepReport(reportSession, &message) == 0) {
    if (reportSession.archivePath != before) {
      logMessage("Report kept in %s", reportSession.archivePath.c_str());
    }
    return "";
  }
  logMessage("%s", message.c_str());
  return printableText(message, LineBreaks::kSpace) + "\n";
}

std::string keepArchiveWithHint() {
  // The notice moves the archive: the hint names where it went.
  std::string notice = keepArchiveNotice();
  return notice + keptArchiveHint(reportSession.archivePath);
}

void setExitText(const std::string& text) {
  // The command goes whole on its own line, so that it can be copied.
  std::string command = sendLaterHint(reportSession.archivePath);
  size_t at = text.rfind(command);
  reportSession.exitMessage.clear();
  layoutText(reportSession.exitMessage, text.substr(0, at), kExitTextWidth);
  if (at != std::string::npos) reportSession.exitMessage += command;
}

bool showSubmitError(const std::string& detail, bool offerRetry) {
  // Kept before the page names it; a retry that succeeds removes it again.
  std::string hint = keepArchiveWithHint();
  // The detail is the service's text: newt would pass its escape sequences
  // on to the terminal.
  std::string text = submitErrorText(printableText(detail, LineBreaks::kKeep), hint);
  setExitText(text);
  bool retry = showMessageBox(tr("Error"), text.c_str(), tr("Exit"),
                              offerRetry ? tr("Retry") : nullptr, false);
  if (retry) reportSession.exitMessage.clear();
  return retry;
}

void showCollectedOnly() {
  std::string notice = keepArchiveNotice();
  std::string text = notice + collectedOnlyText(reportSession.archivePath);
  setExitText(text);
  showMessageBox(tr("Report kept"), text.c_str(), tr("Exit"), nullptr, false);
}

void runBehindNotice(const char* notice, const std::function<void()>& work) {
  NewtWindow window;
  window.openCentered(50, 3);
  {
    NewtForm form;
    newtComponent line = newtTextbox(1, 1, 48, 1, NEWT_FLAG_WRAP);
    newtTextboxSetText(line, notice);
    newtFormAddComponent(form.get(), line);
    newtDrawForm(form.get());
    newtRefresh();
  }
  work();
}

void releaseBehindNotice(ReportRun& run) {
  runBehindNotice(tr("Cleaning up..."), [&run] { run.release(); });
}

}  // namespace cvreport
