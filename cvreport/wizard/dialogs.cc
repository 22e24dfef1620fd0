#include "wizard/dialogs.h"

#include <newt.h>
#include <stdlib.h>

#include "run/log.h"
#include "run/session.h"
#include "run/text.h"
#include "run/workspace.h"
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
  std::string copy = text;
  int width = 0;
  int height = 0;
  char* flowed =
      newtReflowText(&copy[0], kBoxTextWidth, kBoxTextFlex, kBoxTextFlex, &width, &height);
  int cols = 0;
  int rows = 0;
  newtGetScreenSize(&cols, &rows);
  int flags = NEWT_FLAG_WRAP;
  int room = rows - kBoxChromeRows;
  if (room >= 3 && height > room) {
    height = room;
    flags |= NEWT_FLAG_SCROLL;
  }
  newtComponent box = newtTextbox(-1, -1, width, height, flags);
  newtTextboxSetText(box, flowed);
  free(flowed);
  return box;
}

}  // namespace

bool showMessageBox(const char* title, const char* text, const char* button1,
                    const char* button2, bool focusSecond) {
  newtComponent first = nullptr;
  newtComponent second = nullptr;
  newtGrid buttons = makeButtonBar(button1, &first, button2, &second);
  NewtWindow window;
  NewtForm form;
  newtGrid grid = newtCreateGrid(1, 4);
  if (text) placeComponent(grid, 0, 0, messageTextbox(text), 0, NEWT_ANCHOR_LEFT);
  placeSubgrid(grid, 0, 3, buttons, 0, 1, 0, NEWT_GRID_FLAG_GROWX);
  window.openGrid(grid, title);
  newtGridAddComponentsToForm(grid, form.get(), 1);
  newtGridFree(grid, 1);
  newtFormSetCurrent(form.get(), focusSecond && second ? second : first);
  newtComponent ended = newtRunForm(form.get());
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

void showSubmitError(const std::string& detail) {
  // The detail is the service's text: newt would pass its escape sequences
  // on to the terminal.
  std::string text = submitErrorText(printableText(detail, LineBreaks::kKeep),
                                     manualSendHint(reportSession.archivePath));
  layoutText(reportSession.exitMessage, text, kExitTextWidth);
  reportSession.keepWorkDir = true;
  showMessageBox(tr("Error"), text.c_str(), tr("Exit"), nullptr, false);
}

void cleanupReportRunInWizard() {
  NewtWindow window;
  window.openCentered(50, 3);
  {
    NewtForm form;
    newtComponent notice = newtTextbox(1, 1, 48, 1, NEWT_FLAG_WRAP);
    newtTextboxSetText(notice, tr("Cleaning up..."));
    newtFormAddComponent(form.get(), notice);
    newtDrawForm(form.get());
    newtRefresh();
  }
  cleanupReportRun(reportSession);
}

}  // namespace cvreport
