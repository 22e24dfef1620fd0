#include "kept_list.h"

#include <stdio.h>
#include <time.h>

#include <string>
#include <vector>

#include "run/kept_store.h"
#include "run/report_run.h"
#include "run/text.h"

namespace cvreport {
namespace {

std::string keptTimeText(time_t keptAt) {
  struct tm utc;
  char text[32];
  if (!gmtime_r(&keptAt, &utc) || strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc) == 0) {
    return "unknown";
  }
  return text;
}

}  // namespace

int runKeptList() {
  std::vector<KeptReport> reports;
  std::string message;
  if (listKeptReports(reports, &message) != 0) {
    fprintf(stderr, "cvreport: %s\n", printableText(message, LineBreaks::kSpace).c_str());
    return 1;
  }
  if (reports.empty()) {
    puts("No kept reports.");
    return 0;
  }
  bool first = true;
  for (const KeptReport& report : reports) {
    // The subject is the reporter's text, read back from a file.
    std::string subject = printableText(report.subject, LineBreaks::kSpace);
    printf("%sKept:    %s\nSize:    %s\nSubject: %s\nSend:    %s\n", first ? "" : "\n",
           keptTimeText(report.keptAt).c_str(), byteSizeText(report.archiveBytes).c_str(),
           subject.c_str(), sendLaterCommand(report.archivePath).c_str());
    first = false;
  }
  return 0;
}

}  // namespace cvreport
