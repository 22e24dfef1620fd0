#include "run/workspace.h"

#include <curl/curl.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/config.h"
#include "run/log.h"
#include "run/session.h"

#ifndef CVREPORT_SUPPORT_EMAIL
#define CVREPORT_SUPPORT_EMAIL "support@corvanta.com"
#endif

namespace cvreport {
namespace {

constexpr int kRemovalTries = 6;

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Empties the directory open at dirFd. Entries are reached relative to their
// parent's descriptor and never through a symbolic link, so a link to a
// directory outside the tree is removed as a link and its target survives.
// Working on descriptors leaves the process's working directory alone.
int clearDirectory(int dirFd) {
  int listFd = dup(dirFd);
  if (listFd < 0) return -1;
  DIR* dir = fdopendir(listFd);
  if (!dir) {
    close(listFd);
    return -1;
  }
  int result = 0;
  while (struct dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      result = -1;
      break;
    }
    if (!S_ISDIR(st.st_mode)) {
      if (unlinkat(dirFd, name, 0) != 0) {
        result = -1;
        break;
      }
      continue;
    }
    if (isDotOrDotDot(name)) continue;
    int child = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) {
      result = -1;
      break;
    }
    int cleared = clearDirectory(child);
    close(child);
    if (cleared != 0 || unlinkat(dirFd, name, AT_REMOVEDIR) != 0) {
      result = -1;
      break;
    }
  }
  closedir(dir);
  return result;
}

}  // namespace

int removeDirectoryTree(const char* path) {
  int dirFd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return -1;
  int cleared = clearDirectory(dirFd);
  close(dirFd);
  if (cleared != 0) return -1;
  return rmdir(path) == 0 ? 0 : -1;
}

int startReportRun(std::string& message) {
  ReportSession& s = reportSession;
  if (openLog(kReportLogPath) != 0) {
    message = "Can't open log file";
    return -1;
  }
  logMessage("Session started");
  if (loadReportConfig(message) != 0) return -1;
  if (!mkdtemp(s.workDir)) {
    message = "Can't create temporary directory";
    return -1;
  }
  s.filesDir = std::string(s.workDir) + "/files";
  s.archivePath = std::string(s.workDir) + "/cvreport.tgz";
  if (mkdir(s.filesDir.c_str(), 0700) != 0) {
    message = "Can't create temporary directory";
    return 1;
  }
  s.networkInitStatus = curl_global_init(CURL_GLOBAL_ALL);
  if (s.networkInitStatus != 0) {
    message = "Can't initialize network library";
    return 1;
  }
  return 0;
}

void cleanupReportRun() {
  ReportSession& s = reportSession;
  // filesDir is set once the work directory exists.
  if (!s.keepWorkDir && !s.filesDir.empty()) {
    for (int attempt = 1; attempt <= kRemovalTries; ++attempt) {
      if (removeDirectoryTree(s.workDir) == 0) break;
      if (attempt < kRemovalTries) sleep(1);
    }
  }
  if (s.networkInitStatus == 0) {
    curl_global_cleanup();
    s.networkInitStatus = -1;
  }
}

std::string buildManualSendHint(const std::string& archivePath) {
  std::string hint =
      "Please send the {REP_PATH} file containing the generated report manually to "
      CVREPORT_SUPPORT_EMAIL;
  hint.replace(hint.find("{REP_PATH}"), 10, archivePath);
  return hint;
}

const std::string& manualSendHint() {
  static const std::string hint = buildManualSendHint(reportSession.archivePath);
  return hint;
}

void reportError(const std::string& message) {
  logMessage("Error: %s", message.c_str());
  fprintf(stderr, "%s\n", message.c_str());
}

void reportFatal(const std::string& text) {
  // Written whole: a service's free text may be longer than any buffer.
  fprintf(stderr, "%s\n%s\n", text.c_str(), manualSendHint().c_str());
  reportSession.keepWorkDir = true;
  cleanupReportRun();
}

}  // namespace cvreport
