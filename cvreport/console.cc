#include "console.h"

#include <stdio.h>
#include <string.h>

#include <sys/stat.h>

#include <map>
#include <set>
#include <string>

#include "console_review.h"
#include "run/email_address.h"
#include "run/interrupt.h"
#include "run/kept_store.h"
#include "run/log.h"
#include "run/report_run.h"
#include "run/session.h"
#include "run/text.h"
#include "submit/archive_check.h"
#include "submit/collector.h"
#include "submit/contact_file.h"
#include "submit/layout.h"
#include "submit/obfuscate_report.h"
#include "submit/preflight.h"
#include "submit/review.h"
#include "submit/upload_run.h"

namespace cvreport {
namespace {

constexpr int kConsoleWrapWidth = 74;
constexpr char kKeptBackText[] = "The report was kept back at your request and not sent.";

std::string startFailureText(const std::string& error, int errorNumber) {
  if (error.empty()) return "Fatal error";
  std::string text = error;
  if (errorNumber >= 0) text += std::string(": ") + strerror(errorNumber);
  return text;
}

// Logs "Error: message" and prints message on stderr.
void reportError(const std::string& message) {
  logMessage("Error: %s", message.c_str());
  fprintf(stderr, "%s\n", printableText(message, LineBreaks::kKeep).c_str());
}

// Moves the archive into the kept store; when it cannot, the line saying
// why it stays in the work directory (logged here), else nothing.
std::string keepArchive(ReportSession& s) {
  std::string message;
  std::string before = s.archivePath;
  if (keepReport(s, &message) == 0) {
    // An archive the run did not collect (--send) stays where it is.
    if (s.archivePath != before) logMessage("Report kept in %s", s.archivePath.c_str());
    return "";
  }
  logMessage("%s", message.c_str());
  return printableText(message, LineBreaks::kSpace) + "\n";
}

// Keeps the archive and prints text and the hints naming where it is on
// stderr.
void reportKept(ReportSession& s, const std::string& text) {
  std::string notKept = keepArchive(s);
  // Written whole: a service's free text may be longer than any buffer. It
  // reaches the terminal as printable text only.
  fprintf(stderr, "%s\n%s%s\n", printableText(text, LineBreaks::kKeep).c_str(), notKept.c_str(),
          keptArchiveHint(s.archivePath).c_str());
}

// An interrupted run says so once, on the terminal and in the log; an
// archive that was being sent is kept.
ConsoleStatus reportInterrupted(ReportSession& s, bool wasSending) {
  std::string text = interruptedText(pendingInterrupt());
  logMessage("%s", text.c_str());
  if (wasSending) {
    reportKept(s, text);
  } else {
    fprintf(stderr, "%s\n", text.c_str());
  }
  return ConsoleStatus::kInterrupted;
}

// --collect-only: the archive goes to the kept store, and nothing is sent.
ConsoleStatus keepCollected(ReportSession& s) {
  std::string notKept = keepArchive(s);
  if (!notKept.empty()) fputs(notKept.c_str(), stderr);
  printf("%s\n", collectedOnlyText(s.archivePath).c_str());
  return ConsoleStatus::kSubmitted;
}

void printProblemId(const std::map<std::string, std::string>& replyValues, bool quiet) {
  auto it = replyValues.find("REPID");
  if (it == replyValues.end()) return;
  // The ID is the service's text: it reaches the terminal without a
  // control character that could retitle it or draw a line of its own.
  std::string id = printableText(it->second, LineBreaks::kSpace);
  if (quiet) {
    printf("ProblemID: %s\n", id.c_str());
    return;
  }
  std::string text =
      "Your report has been successfully submitted to the Corvanta technical support team.\n"
      "Your problem report was assigned ID " + id +
      "\nPlease refer to this ID when contacting the Corvanta technical support.\n"
      "\nYou have been sent an email notification about the report with additional "
      "instructions on how you can further communicate with the Corvanta support team via "
      "email.\n\n";
  std::string out;
  layoutText(out, text, kConsoleWrapWidth);
  fwrite(out.data(), 1, out.size(), stdout);
}

// Runs the collector, echoing its output as it comes (or dropping it with
// -q); false with the status when the run ends here.
bool collect(ReportSession& s, ConsoleStatus& status) {
  CollectorView view;
  view.progressLines = s.progress;
  bool quiet = s.quiet;
  view.line = [quiet](const std::string& line) {
    if (quiet) return;
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
  };
  CollectOutcome collected = runCollector(s, view);
  switch (collected.result) {
    case CollectResult::kCollected:
    case CollectResult::kCanceled:  // the console has no way to cancel
      return true;
    case CollectResult::kNotStarted:
      fprintf(stderr, "%s\n", startFailureText(collected.error, collected.errorNumber).c_str());
      status = ConsoleStatus::kCollectorNotStarted;
      return false;
    case CollectResult::kInterrupted:
      status = reportInterrupted(s, false);
      return false;
    case CollectResult::kFailed:
      logMessage("%s", kCollectFailedText);
      fprintf(stderr, "%s\n", kCollectFailedText);
      status = ConsoleStatus::kCollectorFailed;
      return false;
  }
  return true;
}

// Replaces the names in the collected archive before anything reads,
// keeps or sends it; false with the status when the report must not leave.
bool obfuscateCollected(ReportSession& s, ConsoleStatus& status) {
  std::string message;
  ObfuscateOutcome outcome = obfuscateReport(s.archivePath, s.filesDir, &message);
  if (outcome.result == ObfuscateResult::kObfuscated) {
    logMessage("Report obfuscated; the map holds %zu originals", outcome.originals);
    // With -q stdout is for scripts; the map's place is still told.
    fprintf(s.quiet ? stderr : stdout, "%s\n", obfuscatedText().c_str());
    return true;
  }
  std::string text = outcome.result == ObfuscateResult::kSurvived
                         ? obfuscationSurvivorText(outcome)
                         : "The report could not be obfuscated (" + message +
                               "); it was not sent.";
  reportError(text);
  status = ConsoleStatus::kObfuscationFailed;
  return false;
}

// Says before minutes of collection that the report will not get through
// now; the run goes on, and the upload's outcome decides the status. False
// with the status when a signal ended the check.
bool warnWhenUnreachable(ReportSession& s, ConsoleStatus& status) {
  if (s.collectOnly) return true;
  std::string reason;
  if (checkServiceReachable(s.config, &reason) == 0) return true;
  if (pendingInterrupt()) {
    status = reportInterrupted(s, false);
    return false;
  }
  std::string text = unreachableWarning(reason);
  logMessage("%s", text.c_str());
  fprintf(stderr, "%s\n", printableText(text, LineBreaks::kKeep).c_str());
  return true;
}

// An archive over the service's limit is kept rather than sent to be
// refused; false when it is.
bool archiveFits(ReportSession& s) {
  std::string tooLarge;
  if (checkArchiveFileSize(s.archivePath, s.maxArchiveSize, &tooLarge) == 0) return true;
  logMessage("Error: %s", tooLarge.c_str());
  reportKept(s, tooLarge);
  return false;
}

// Logs and prints a warning on stderr.
void reportWarning(const std::string& text) {
  logMessage("%s", text.c_str());
  fprintf(stderr, "%s\n", printableText(text, LineBreaks::kKeep).c_str());
}

// What the review shows; false with the reason when it cannot be had
// (empty without an archive: there is nothing to review, and the upload
// says why).
bool prepareConsoleReview(const ReportSession& s, ReportReview& review, std::string& failure) {
  struct stat st;
  if (stat(s.archivePath.c_str(), &st) != 0) return false;
  return prepareReview(s.archivePath, s.filesDir, review, &failure) == 0;
}

// The reporter's exclusions leave the archive before it is sent; an archive
// that still holds them is kept, never sent.
bool applyExclusions(ReportSession& s, const std::set<std::string>& excluded,
                     ConsoleStatus& status) {
  std::string message;
  if (excludeFromReport(s.archivePath, excluded, &message) == 0) {
    if (!excluded.empty()) logMessage("Files excluded by the reporter: %zu", excluded.size());
    return true;
  }
  logMessage("Error: %s", message.c_str());
  reportKept(s, "The files you excluded could not be left out: " + message);
  status = ConsoleStatus::kUploadNotStarted;
  return false;
}

// Without --review, says how many lines the second scan asks the reporter
// to look at and where they are listed; with it, asks before the report
// leaves. False with the status when it does not leave.
bool reviewBeforeSending(ReportSession& s, ConsoleStatus& status) {
  ReportReview review;
  std::string failure;
  if (!prepareConsoleReview(s, review, failure)) {
    if (failure.empty()) return true;
    // A reporter who asked to look first gets no report sent unseen; without
    // --review the report goes on rather than being lost.
    if (!s.review) {
      reportWarning("Warning: the report could not be prepared for review (" + failure +
                    "); it goes on unreviewed");
      return true;
    }
    std::string text = "The report could not be prepared for review (" + failure +
                       "); it was kept back and not sent.";
    logMessage("%s", text.c_str());
    reportKept(s, text);
    status = ConsoleStatus::kKeptBack;
    return false;
  }
  if (!s.review) {
    std::string notice = attentionNotice(review);
    if (!notice.empty()) reportWarning(notice);
    return true;
  }
  std::set<std::string> excluded;
  if (runConsoleReview(s.archivePath, review, excluded) == ReviewChoice::kSend) {
    return applyExclusions(s, excluded, status);
  }
  if (pendingInterrupt()) {
    status = reportInterrupted(s, true);
    return false;
  }
  logMessage("%s", kKeptBackText);
  reportKept(s, kKeptBackText);
  status = ConsoleStatus::kKeptBack;
  return false;
}

}  // namespace

ConsoleStatus consoleUpload(ReportSession& s) {
  UploadFollower follower;
  follower.percent = [](int percent) {
    printf("Upload progress: %d%%\n", percent);
    fflush(stdout);
  };
  // With -q stdout is for scripts, yet a retry's pause must not pass in
  // silence: the line goes to stderr then.
  FILE* retryStream = s.quiet ? stderr : stdout;
  follower.retry = [retryStream](const std::string& line) {
    fprintf(retryStream, "%s\n", printableText(line, LineBreaks::kSpace).c_str());
    fflush(retryStream);
  };
  UploadOutcome sent = runUpload(s, follower);
  switch (sent.result) {
    case SubmitResult::kAccepted:
      printProblemId(sent.replyValues, s.quiet);
      return ConsoleStatus::kSubmitted;
    case SubmitResult::kNotStarted:
      reportKept(s, startFailureText(sent.error, sent.errorNumber));
      return ConsoleStatus::kUploadNotStarted;
    case SubmitResult::kInterrupted:
      return reportInterrupted(s, true);
    case SubmitResult::kWaitFailed:
      reportKept(s, std::string("Fatal error: ") + strerror(sent.errorNumber));
      return ConsoleStatus::kUploadWaitFailed;
    default:
      reportKept(s, sent.replyMessage);
      return ConsoleStatus::kUploadFailed;
  }
}

void showStartWarnings(const ReportSession& s) {
  for (const std::string& warning : s.startWarnings) {
    logMessage("%s", warning.c_str());
    fprintf(stderr, "%s\n", printableText(warning, LineBreaks::kKeep).c_str());
  }
}

ConsoleStatus runConsoleReport() {
  ReportSession& s = reportSession;
  // Refused before anything starts: no log, no work directory.
  std::string refusal = s.review ? reviewRefusal(s.quiet) : "";
  if (!refusal.empty()) {
    fprintf(stderr, "%s\n", refusal.c_str());
    return ConsoleStatus::kNotStarted;
  }
  ReportRun run(s);
  std::string message;
  int started = run.start(&message);
  // The wizard would not take this address; the console sends it as given.
  if (!isValidEmail(s.contact.email)) {
    s.startWarnings.push_back("Warning: the e-mail address '" + s.contact.email +
                              "' does not look valid; the service's notification will not "
                              "reach it");
  }
  showStartWarnings(s);
  if (started != 0) {
    reportError(message);
    return ConsoleStatus::kNotStarted;
  }
  if (writeContactFile(s.filesDir, s.contact, kConsoleContactLabels) != 0) {
    reportError(kContactWriteFailedText);
    return ConsoleStatus::kContactNotWritten;
  }
  // From here on a report's children run: Ctrl-C, SIGTERM and SIGHUP stop
  // them and end the run cleanly instead of leaving them behind.
  run.watchInterrupts();
  ConsoleStatus status = ConsoleStatus::kSubmitted;
  if (!warnWhenUnreachable(s, status)) return status;
  if (!collect(s, status)) return status;
  if (s.obfuscate && !obfuscateCollected(s, status)) return status;
  if (s.collectOnly) return keepCollected(s);
  if (!reviewBeforeSending(s, status)) return status;
  if (!archiveFits(s)) return ConsoleStatus::kUploadFailed;
  return consoleUpload(s);
}

int consoleExitStatus(ConsoleStatus status) {
  if (status == ConsoleStatus::kInterrupted) return 128 + pendingInterrupt();
  return static_cast<int>(status);
}

}  // namespace cvreport
