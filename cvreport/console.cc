#include "console.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "run/interrupt.h"
#include "run/log.h"
#include "run/session.h"
#include "run/text.h"
#include "run/workspace.h"
#include "submit/child.h"
#include "submit/collector.h"
#include "submit/contact_file.h"
#include "submit/layout.h"
#include "submit/pipe_reader.h"
#include "submit/reply.h"
#include "submit/upload.h"

namespace cvreport {
namespace {

constexpr int kConsoleWrapWidth = 74;
constexpr size_t kMaxCollectorLine = 4095;

std::string startFailureText(const ChildProcess& child) {
  if (child.message.empty()) return "Fatal error";
  std::string text = child.message;
  if (child.errorNumber >= 0) text += std::string(": ") + strerror(child.errorNumber);
  return text;
}

// Echoes the collector's output as it comes (or drops it with -q) and
// returns its wait status; 0 also when its stream could not be closed.
// Once the run is interrupted, the collector (which got the signal too) has
// its grace time to stop its commands and is then stopped for good.
int followCollector(ChildProcess& collector, bool quiet) {
  int fd = fileno(collector.stream);
  std::string pending;
  for (;;) {
    if (pendingInterrupt()) {
      stopChild(collector, false, kStopGraceMillis);
      return -1;
    }
    std::vector<std::string> lines;
    PipeState state =
        readPipeLines(fd, pending, lines, kMaxCollectorLine, LineEnds::kKeep);
    for (const std::string& line : lines) {
      if (quiet) continue;
      fwrite(line.data(), 1, line.size(), stdout);
      fflush(stdout);
    }
    if (state != PipeState::kOpen) break;
    waitForPipe(fd, -1);
  }
  int status = 0;
  closeAndReap(collector, &status);
  return status;
}

// An interrupted run says so once, on the terminal and in the log, and ends
// with the conventional status; an archive that was being sent is kept.
int reportInterrupted(ReportSession& s, bool keepArchive) {
  int signalNumber = pendingInterrupt();
  std::string text = interruptedText(signalNumber);
  logMessage("%s", text.c_str());
  if (keepArchive) {
    fprintf(stderr, "%s\n%s\n", text.c_str(), manualSendHint(s.archivePath).c_str());
    s.keepWorkDir = true;
  } else {
    fprintf(stderr, "%s\n", text.c_str());
  }
  stopWatchingInterrupts();
  cleanupReportRun(s);
  return 128 + signalNumber;
}

void printProblemId() {
  auto it = reportSession.replyValues.find("REPID");
  if (it == reportSession.replyValues.end()) return;
  // The ID is the service's text: it reaches the terminal without a
  // control character that could retitle it or draw a line of its own.
  std::string id = printableText(it->second, LineBreaks::kSpace);
  if (reportSession.quiet) {
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

// Runs the upload worker and shows its outcome; the console's status. A
// report the service has accepted is shown even when a signal came late; a
// signal before that stops the worker, so that no report is filed that the
// user would not see.
int uploadAndWait(ReportSession& s) {
  ChildProcess worker;
  if (submitReport(worker, s.archivePath, s.contact, s.config) != 0) {
    reportFatal(startFailureText(worker));
    return 5;
  }
  setInterruptTarget(worker.pid);
  if (pendingInterrupt()) kill(worker.pid, SIGTERM);
  int workerStatus = 0;
  std::string collected;
  int followed = followUploadProgress(worker, &workerStatus, worker.stream, collected);
  setInterruptTarget(0);
  if (followed <= 0) {
    int waitErrno = errno;
    if (pendingInterrupt()) return reportInterrupted(s, true);
    reportFatal(std::string("Fatal error: ") + strerror(waitErrno));
    return 6;
  }
  parseServerReply(collected, s.replyValues, s.replyMessage);
  if (workerStatus != 0) {
    if (pendingInterrupt()) return reportInterrupted(s, true);
    reportFatal(s.replyMessage);
    return 7;
  }
  printProblemId();
  cleanupReportRun(s);
  return 0;
}

}  // namespace

void reportError(const std::string& message) {
  logMessage("Error: %s", message.c_str());
  fprintf(stderr, "%s\n", printableText(message, LineBreaks::kKeep).c_str());
}

void reportFatal(const std::string& text) {
  // Written whole: a service's free text may be longer than any buffer. It
  // reaches the terminal as printable text only.
  fprintf(stderr, "%s\n%s\n", printableText(text, LineBreaks::kKeep).c_str(),
          manualSendHint(reportSession.archivePath).c_str());
  reportSession.keepWorkDir = true;
  cleanupReportRun(reportSession);
}

int runConsoleReport() {
  ReportSession& s = reportSession;
  std::string message;
  RunStart started = startReportRun(s, &message);
  if (!s.logWarning.empty()) fprintf(stderr, "%s\n", s.logWarning.c_str());
  if (started != RunStart::kReady) {
    reportError(message);
    if (started == RunStart::kFailedWithWorkDir) cleanupReportRun(s);
    return 1;
  }

  if (writeContactFile(s.filesDir, s.contact, kConsoleContactLabels) != 0) {
    reportError(kContactWriteFailedText);
    cleanupReportRun(s);
    return 2;
  }

  // From here on a report's children run: Ctrl-C, SIGTERM and SIGHUP stop
  // them and end the run cleanly instead of leaving them behind.
  watchInterrupts();
  ChildProcess collector;
  if (launchCollector(collector, collectorArguments(s.collectorPath, s.progress, s.filesDir),
                      false) != 0) {
    stopWatchingInterrupts();
    fprintf(stderr, "%s\n", startFailureText(collector).c_str());
    cleanupReportRun(s);
    return 3;
  }
  setInterruptTarget(collector.pid);
  int collected = followCollector(collector, s.quiet);
  setInterruptTarget(0);
  if (pendingInterrupt()) return reportInterrupted(s, false);
  if (collected != 0) {
    stopWatchingInterrupts();
    logMessage("%s", kCollectFailedText);
    fprintf(stderr, "%s\n", kCollectFailedText);
    cleanupReportRun(s);
    return 4;
  }
  int status = uploadAndWait(s);
  stopWatchingInterrupts();
  return status;
}

}  // namespace cvreport
