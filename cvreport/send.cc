#include "send.h"

#include <stdio.h>
#include <sys/types.h>

#include <string>

#include "console.h"
#include "run/kept_store.h"
#include "run/log.h"
#include "run/report_run.h"
#include "run/session.h"
#include "run/text.h"
#include "run/unique_handles.h"
#include "run/version.h"
#include "submit/archive_check.h"
#include "submit/contact_file.h"

namespace cvreport {
namespace {

// Logs and prints a reason the archive is not sent; a file name in it
// stays on its line.
int refuse(const std::string& message, LineBreaks breaks = LineBreaks::kSpace) {
  logMessage("Error: %s", message.c_str());
  fprintf(stderr, "%s\n", printableText(message, breaks).c_str());
  return consoleExitStatus(ConsoleStatus::kNotStarted);
}

// The archive's contact details, less the fields the command line gave.
void takeArchivedContact(ReportSession& s, const ContactInfo& archived) {
  const struct {
    int given;
    std::string ContactInfo::*field;
  } fields[] = {
      {kContactGivenName, &ContactInfo::fullName},
      {kContactGivenCompany, &ContactInfo::company},
      {kContactGivenEmail, &ContactInfo::email},
      {kContactGivenSubject, &ContactInfo::subject},
      {kContactGivenDescription, &ContactInfo::description},
  };
  for (const auto& f : fields) {
    if (!(s.contactGiven & f.given)) s.contact.*f.field = archived.*f.field;
  }
}

// The version of the host the archive was collected on, or else this
// host's as a report run would name it; -1 with the reason.
int archiveVersion(const ReportArchive& archive, std::string& version, std::string* message) {
  version.clear();
  if (archive.hasRelease && parseProductVersion(archive.releaseText, version) == 0 &&
      !version.empty()) {
    return 0;
  }
  version.clear();
  return readProductVersion(version, message);
}

// Opens and checks the archive, reads its contact details into archived
// and fills the session's version and archive; -1 with the sentence for
// the user.
int takeArchive(ReportSession& s, UniqueFd& fd, ContactInfo& archived, std::string* message) {
  off_t size = 0;
  if (openReportArchive(s.sendPath, fd, size, message) != 0) return -1;
  if (checkArchiveSize(s.sendPath, size, s.maxArchiveSize, message) != 0) return -1;
  ReportArchive archive;
  if (inspectReportArchive(fd.get(), s.sendPath, archive, message) != ArchiveVerdict::kReport) {
    return -1;
  }
  parseContactFile(archive.contactText, archived);  // one not in the form gives no field
  if (archiveVersion(archive, s.productVersion, message) != 0) return -1;
  s.archiveFd = fd.get();
  s.archivePath = s.sendPath;
  return 0;
}

// A kept report that went through leaves the store; any other archive is
// the user's, to delete when they choose.
void tidyAfterSending(const ReportSession& s) {
  std::string shown = printableText(s.sendPath, LineBreaks::kSpace), message;
  bool removed = false;
  if (removeKeptReport(s.sendPath, removed, &message) != 0) {
    logMessage("%s", message.c_str());
    fprintf(stderr, "%s\n", printableText(message, LineBreaks::kKeep).c_str());
  } else if (removed) {
    logMessage("Sent report removed from the kept reports: %s", shown.c_str());
    if (!s.quiet) printf("The kept report %s was sent and removed.\n", shown.c_str());
    return;
  }
  if (!s.quiet) printf("The archive %s may now be deleted.\n", shown.c_str());
}

}  // namespace

int runSendReport() {
  ReportSession& s = reportSession;
  ReportRun run(s);
  std::string message;
  int started = run.startSending(&message);
  showStartWarnings(s);
  if (started != 0) return refuse(message);
  UniqueFd archive;
  ContactInfo archived;
  if (takeArchive(s, archive, archived, &message) != 0) return refuse(message);
  takeArchivedContact(s, archived);
  std::string missing = missingFieldsText(s.contact);
  if (!missing.empty()) return refuse(missing, LineBreaks::kKeep);
  logMessage("Sending %s", printableText(s.sendPath, LineBreaks::kSpace).c_str());
  run.watchInterrupts();
  ConsoleStatus status = consoleUpload(s);
  if (status == ConsoleStatus::kSubmitted) tidyAfterSending(s);
  return consoleExitStatus(status);
}

}  // namespace cvreport
