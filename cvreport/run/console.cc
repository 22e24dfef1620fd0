#include "run/console.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "run/log.h"
#include "run/session.h"
#include "run/workspace.h"
#include "submit/child.h"
#include "submit/layout.h"
#include "submit/reply.h"
#include "submit/upload.h"

namespace cvreport {
namespace {

constexpr int kConsoleWrapWidth = 74;

std::string startFailureText(const ChildProcess& child) {
  if (child.message.empty()) return "Fatal error";
  std::string text = child.message;
  if (child.errorNumber >= 0) text += std::string(": ") + strerror(child.errorNumber);
  return text;
}

int writeContactFile() {
  const ContactInfo& c = reportSession.contact;
  FILE* out = fopen((reportSession.filesDir + "/description").c_str(), "we");
  if (!out) return -1;
  fprintf(out, "Full name: %s\n", c.fullName.c_str());
  fprintf(out, "Company:   %s\n", c.company.c_str());
  fprintf(out, "E-mail:    %s\n", c.email.c_str());
  fprintf(out, "Subject:   %s\n", c.subject.c_str());
  fprintf(out, "Issue: %s\n", c.description.c_str());
  return fclose(out) == 0 ? 0 : -1;
}

// Echoes the collector's output as it comes (or drops it with -q) and
// returns its wait status; 0 also when its stream could not be closed.
int followCollector(ChildProcess& collector) {
  char line[4096];
  while (fgets(line, sizeof line, collector.stream)) {
    if (reportSession.quiet) continue;
    fputs(line, stdout);
    fflush(stdout);
  }
  int status = 0;
  closeAndReap(collector, &status);
  return status;
}

std::vector<char*> collectorArguments(ReportSession& s) {
  static char debugFlag[] = "-d";
  std::vector<char*> argv{&s.collectorPath[0]};
  if (s.progress) argv.push_back(debugFlag);
  argv.push_back(&s.filesDir[0]);
  argv.push_back(nullptr);
  return argv;
}

void printProblemId() {
  auto it = reportSession.replyValues.find("REPID");
  if (it == reportSession.replyValues.end()) return;
  if (reportSession.quiet) {
    printf("ProblemID: %s\n", it->second.c_str());
    return;
  }
  std::string text =
      "Your report has been successfully submitted to the Corvanta technical support team.\n"
      "Your problem report was assigned ID " + it->second +
      "\nPlease refer to this ID when contacting the Corvanta technical support.\n"
      "\nYou have been sent an email notification about the report with additional "
      "instructions on how you can further communicate with the Corvanta support team via "
      "email.\n\n";
  std::string out;
  layoutText(out, text, kConsoleWrapWidth);
  fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int runConsoleReport() {
  ReportSession& s = reportSession;
  std::string message;
  int started = startReportRun(message);
  if (started != 0) {
    reportError(message);
    if (started > 0) cleanupReportRun();
    return 1;
  }

  if (writeContactFile() != 0) {
    reportError("Can't write the contact data!");
    cleanupReportRun();
    return 2;
  }

  ChildProcess collector;
  std::vector<char*> argv = collectorArguments(s);
  if (startCollector(collector, s.collectorPath.c_str(), argv.data(), false) != 0) {
    fprintf(stderr, "%s\n", startFailureText(collector).c_str());
    cleanupReportRun();
    return 3;
  }
  if (followCollector(collector) != 0) {
    logMessage("A fatal error occured while collecting the information");
    fputs("A fatal error occured while collecting the information\n", stderr);
    cleanupReportRun();
    return 4;
  }

  ChildProcess worker;
  if (submitReport(worker) != 0) {
    reportFatal(startFailureText(worker));
    return 5;
  }
  int workerStatus = 0;
  std::string collected;
  if (followUploadProgress(worker, &workerStatus, worker.stream, collected) <= 0) {
    int waitErrno = errno;
    reportFatal(std::string("Fatal error: ") + strerror(waitErrno));
    return 6;
  }
  fclose(worker.stream);
  worker.stream = nullptr;
  parseServerReply(collected, s.replyValues, s.replyMessage);
  if (workerStatus != 0) {
    reportFatal(s.replyMessage);
    return 7;
  }
  printProblemId();
  cleanupReportRun();
  return 0;
}

}  // namespace cvreport
