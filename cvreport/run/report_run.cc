#include "run/report_run.h"

#include <curl/curl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/config.h"
#include "run/files.h"
#include "run/interrupt.h"
#include "run/log.h"
#include "run/tree_removal.h"

#ifndef CVREPORT_SUPPORT_EMAIL
#define CVREPORT_SUPPORT_EMAIL "support@corvanta.com"
#endif

namespace cvreport {
namespace {

constexpr int kRemovalTries = 6;

// Opens the log and loads and checks the configuration (and the collector
// it names, for a run that collects); -1 with the reason.
int checkHost(ReportSession& s, bool collects, std::string* message) {
  std::string refusal;
  switch (openLog(kReportLogPath, &refusal)) {
    case LogOpen::kFailed:
      *message = "Can't open log file";
      return -1;
    case LogOpen::kRefused:
      s.startWarnings.push_back(refusal);
      break;
    case LogOpen::kOpened:
      break;
  }
  logMessage("Session started");
  // Root reads the configuration and runs the collector it names: both
  // must be root's alone before either is used. A missing file is left to
  // the messages that have always told of it.
  if (checkRootOnly(kReportConfigPath, message) == FileSafety::kUnsafe) return -1;
  if (loadReportConfig(s.config, s.collectorPath, message, &s.startWarnings) != 0) return -1;
  if (checkReportUrls(s.config, message) != 0) return -1;
  if (readArchiveSizeLimit(s.config, s.maxArchiveSize, message) != 0) return -1;
  if (collects && checkRootOnly(s.collectorPath, message) == FileSafety::kUnsafe) return -1;
  // The site's choice holds unless the command line already asked for it.
  if (collects && configValue(s.config, "OBFUSCATE") == "yes") s.obfuscate = true;
  return 0;
}

}  // namespace

ReportRun::ReportRun(ReportSession& session) : session_(session), owner_(getpid()) {
  memcpy(workDir_, kWorkDirTemplate, sizeof workDir_);
}

ReportRun::~ReportRun() {
  if (getpid() == owner_) release();
}

int ReportRun::start(std::string* message) {
  if (checkHost(session_, true, message) != 0) return -1;
  if (!mkdtemp(workDir_)) {
    *message = "Can't create temporary directory";
    return -1;
  }
  madeWorkDir_ = true;
  session_.filesDir = std::string(workDir_) + "/files";
  session_.archivePath = std::string(workDir_) + "/cvreport.tgz";
  if (mkdir(session_.filesDir.c_str(), 0700) != 0) {
    *message = "Can't create temporary directory";
    return -1;
  }
  return startNetwork(message);
}

int ReportRun::startSending(std::string* message) {
  if (checkHost(session_, false, message) != 0) return -1;
  return startNetwork(message);
}

int ReportRun::startNetwork(std::string* message) {
  if (curl_global_init(CURL_GLOBAL_ALL) != 0) {
    *message = "Can't initialize network library";
    return -1;
  }
  networkStarted_ = true;
  return 0;
}

void ReportRun::watchInterrupts() {
  cvreport::watchInterrupts();
  watching_ = true;
}

void ReportRun::stopWatchingInterrupts() {
  if (watching_) cvreport::stopWatchingInterrupts();
  watching_ = false;
}

void ReportRun::release() {
  stopWatchingInterrupts();
  if (madeWorkDir_ && !session_.keepWorkDir) {
    for (int attempt = 1; attempt <= kRemovalTries; ++attempt) {
      if (removeDirectoryTree(workDir_) == 0) break;
      if (attempt < kRemovalTries) sleep(1);
    }
  }
  madeWorkDir_ = false;
  if (networkStarted_) curl_global_cleanup();
  networkStarted_ = false;
}

std::string manualSendHint(const std::string& archivePath) {
  std::string hint =
      "Please send the {REP_PATH} file containing the generated report manually to "
      CVREPORT_SUPPORT_EMAIL;
  hint.replace(hint.find("{REP_PATH}"), 10, archivePath);
  return hint;
}

std::string sendLaterCommand(const std::string& archivePath) {
  static const char kPlain[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./:=+-";
  if (!archivePath.empty() && archivePath.find_first_not_of(kPlain) == std::string::npos) {
    return "cvreport --send " + archivePath;
  }
  std::string quoted = "'";
  for (char c : archivePath) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "cvreport --send " + quoted + "'";
}

std::string sendLaterHint(const std::string& archivePath) {
  return "To send it later, from this host or any other that can reach the service: " +
         sendLaterCommand(archivePath);
}

std::string keptArchiveHint(const std::string& archivePath) {
  return manualSendHint(archivePath) + "\n" + sendLaterHint(archivePath);
}

std::string collectedOnlyText(const std::string& archivePath) {
  return "The report was collected and kept in " + archivePath + "\n" + sendLaterHint(archivePath);
}

}  // namespace cvreport
