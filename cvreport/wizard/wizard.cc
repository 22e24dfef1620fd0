#include "wizard/wizard.h"

#include <locale.h>
#include <newt.h>
#include <stdio.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "run/interrupt.h"
#include "run/log.h"
#include "run/report_run.h"
#include "run/session.h"
#include "run/text.h"
#include "run/version.h"
#include "wizard/dialogs.h"
#include "wizard/hangup.h"
#include "wizard/collect_page.h"
#include "wizard/contact_page.h"
#include "wizard/review_page.h"
#include "wizard/submit_pages.h"

namespace cvreport {
namespace {

constexpr size_t kLastPage = 5;

// A bad release file is no reason to stop here (the upload worker reports
// it); the banner just goes without the version.
std::string bannerText() {
  std::string version;
  int result = readProductVersion(version, nullptr);
  if (result != 0) return "Corvanta Problem Report";
  return "Corvanta " + version + " Problem Report";
}

bool haveTerminal() { return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO); }

// Runs the pages from the first; true when the user confirmed a cancel.
bool runPages(ReportRun& run) {
  std::vector<std::unique_ptr<WizDialog>> pages;
  pages.push_back(std::make_unique<DlgWizStep1>());
  pages.push_back(std::make_unique<DlgWizStep2>());
  pages.push_back(std::make_unique<DlgWizStep3>(run));
  pages.push_back(std::make_unique<DlgWizReview>());
  pages.push_back(std::make_unique<DlgWizStep4>(run));
  pages.push_back(std::make_unique<DlgWizStep5>());
  size_t index = 0;
  for (;;) {
    switch (pages[index]->run()) {
      case WIZ_NEXT:
        if (index < kLastPage) ++index;
        break;
      case WIZ_BACK:
        if (index > 0) --index;
        break;
      case WIZ_CANCEL:
        if (confirmCancel() == WIZ_CANCEL) return true;
        break;
      case WIZ_CANCELED:
        return true;
      case WIZ_FINISH:
      case WIZ_ABORT:
        return false;
      default:
        break;
    }
  }
}

void explainNoTerminal() {
  fputs("cvreport: the full-screen wizard needs a terminal as its standard input and"
        " output.\nTo file a report without it, give all five contact options: -n NAME"
        " -c COMPANY -e EMAIL -s SUBJECT -m DESCRIPTION (see cvreport --help).\n",
        stderr);
}

}  // namespace

int initWizard() {
  if (!haveTerminal()) {
    explainNoTerminal();
    return -1;
  }
  // Entries take typed UTF-8 characters whole, and labels may be translated.
  setlocale(LC_CTYPE, "");
  setlocale(LC_MESSAGES, "");
  std::string banner = bannerText();
  if (newtInit() < 0) {
    newtFinished();
    explainNoTerminal();
    return -1;
  }
  newtCls();
  newtDrawRootText(0, 0, banner.c_str());
  watchTerminalHangup();
  return 0;
}

void runWizard() {
  ReportRun run(reportSession);
  std::string message;
  if (run.start(&message) != 0) {
    if (!message.empty()) showStartError(message);
    if (run.hasWorkDir()) releaseBehindNotice(run);
    return;
  }
  if (runPages(run)) {
    logMessage("Session has been canceled");
    // Declined on the submit page: the finished archive is not thrown away.
    if (reportSession.keepWorkDir) {
      setExitText(keepArchiveWithHint());
    }
  }
  if (int signalNumber = pendingInterrupt()) {
    // Said after the screen is restored, before the hint the upload left
    // when the archive was being sent.
    std::string text = interruptedText(signalNumber);
    logMessage("%s", text.c_str());
    std::string hint = reportSession.exitMessage;
    reportSession.exitMessage = hint.empty() ? text : text + "\n" + hint;
  }
  releaseBehindNotice(run);
}

void printExitMessage() {
  if (!reportSession.exitMessage.empty()) printf("\n%s\n", reportSession.exitMessage.c_str());
}

void closeWizard() {
  newtFinished();
  // Said once the screen is back, where it stays readable.
  for (const std::string& warning : reportSession.startWarnings) {
    logMessage("%s", warning.c_str());
    fprintf(stderr, "%s\n", printableText(warning, LineBreaks::kKeep).c_str());
  }
  logMessage("Session finished");
}

}  // namespace cvreport
