// The wizard's modal message box, the cancel confirmation, the error
// dialogs, and the end of a report run with its notice on the screen.
#pragma once

#include <functional>
#include <string>

#include "run/report_run.h"
#include "wizard/page.h"

namespace cvreport {

// Title and text are shown as given; button2 may be null. True exactly when
// button2 ended the box (F12 and Escape count as button1). Cannot fail.
bool showMessageBox(const char* title, const char* text, const char* button1,
                    const char* button2, bool focusSecond);

// WIZ_CANCEL when the user confirms, WIZ_BACK when the page should come back.
WizResult confirmCancel();

// Logs "Error: message" and shows it: the report run could not start.
void showStartError(const std::string& message);
// Shows "Fatal error: detail!"; the lower layer has logged the cause.
void showFatalError(const std::string& detail);
// Moves the archive into the kept store; when it cannot, the line saying
// why it stays in the work directory (logged here), else nothing.
std::string keepArchiveNotice();
// The notice followed by the hints naming where the archive now is.
std::string keepArchiveWithHint();
// Leaves text, laid out, for the terminal after the wizard has ended; the
// send-later command in it stays on one line.
void setExitText(const std::string& text);
// Keeps the archive and shows the failure with the hints naming it, which
// it also leaves for the terminal after the wizard has ended; true when the
// user asks to send it again (Retry, offered unless offerRetry is false),
// false for Exit.
bool showSubmitError(const std::string& detail, bool offerRetry = true);
// Keeps the archive that was collected only, and says where it is and how
// to send it, on the screen and for the terminal afterwards.
void showCollectedOnly();

// Runs work behind a one-line notice, which goes when work returns.
void runBehindNotice(const char* notice, const std::function<void()>& work);
// Releases the run behind a "Cleaning up..." notice. Silent, as that is.
void releaseBehindNotice(ReportRun& run);

}  // namespace cvreport
