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
#include "run/files.h"
#include "run/log.h"
#include "run/unique_handles.h"

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
  UniqueFd listFd(dup(dirFd));
  if (!listFd.valid()) return -1;
  UniqueDir dir(fdopendir(listFd.get()));
  if (!dir.get()) return -1;
  listFd.release();  // the directory stream owns it now
  int result = 0;
  while (struct dirent* entry = readdir(dir.get())) {
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
    UniqueFd child(openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!child.valid()) {
      result = -1;
      break;
    }
    int cleared = clearDirectory(child.get());
    child.reset();
    if (cleared != 0 || unlinkat(dirFd, name, AT_REMOVEDIR) != 0) {
      result = -1;
      break;
    }
  }
  return result;
}

}  // namespace

int removeDirectoryTree(const char* path) {
  UniqueFd dirFd(open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dirFd.valid()) return -1;
  int cleared = clearDirectory(dirFd.get());
  dirFd.reset();
  if (cleared != 0) return -1;
  return rmdir(path) == 0 ? 0 : -1;
}

RunStart startReportRun(ReportSession& s, std::string* message) {
  std::string refusal;
  switch (openLog(kReportLogPath, &refusal)) {
    case LogOpen::kFailed:
      *message = "Can't open log file";
      return RunStart::kFailedEarly;
    case LogOpen::kRefused:
      s.logWarning = refusal;
      break;
    case LogOpen::kOpened:
      break;
  }
  logMessage("Session started");
  // Root reads the configuration and runs the collector it names: both
  // must be root's alone before either is used. A missing file is left to
  // the messages that have always told of it.
  if (checkRootOnly(kReportConfigPath, message) == FileSafety::kUnsafe) return RunStart::kFailedEarly;
  if (loadReportConfig(s.config, s.collectorPath, message) != 0) return RunStart::kFailedEarly;
  if (checkReportUrls(s.config, message) != 0) return RunStart::kFailedEarly;
  if (checkRootOnly(s.collectorPath, message) == FileSafety::kUnsafe) return RunStart::kFailedEarly;
  if (!mkdtemp(s.workDir)) {
    *message = "Can't create temporary directory";
    return RunStart::kFailedEarly;
  }
  s.filesDir = std::string(s.workDir) + "/files";
  s.archivePath = std::string(s.workDir) + "/cvreport.tgz";
  if (mkdir(s.filesDir.c_str(), 0700) != 0) {
    *message = "Can't create temporary directory";
    return RunStart::kFailedWithWorkDir;
  }
  s.networkInitStatus = curl_global_init(CURL_GLOBAL_ALL);
  if (s.networkInitStatus != 0) {
    *message = "Can't initialize network library";
    return RunStart::kFailedWithWorkDir;
  }
  return RunStart::kReady;
}

void cleanupReportRun(ReportSession& s) {
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

std::string manualSendHint(const std::string& archivePath) {
  std::string hint =
      "Please send the {REP_PATH} file containing the generated report manually to "
      CVREPORT_SUPPORT_EMAIL;
  hint.replace(hint.find("{REP_PATH}"), 10, archivePath);
  return hint;
}

}  // namespace cvreport
