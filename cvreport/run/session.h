// The state of the one report run that a cvreport process performs.
#pragma once

#include <map>
#include <string>

namespace cvreport {

inline constexpr const char kDefaultCollectorPath[] =
    "/usr/libexec/cvreport/cvreport_collector";
inline constexpr const char kWorkDirTemplate[] = "/tmp/cvreport.XXXXXX";

struct ContactInfo {
  std::string fullName;
  std::string company;
  std::string email;
  std::string subject;
  std::string description;
};

using ReportConfig = std::map<std::string, std::string>;

// The report log: a descriptor opened for appending, so that the records of
// the parent, the upload worker and the collector's stderr never overwrite
// each other.
struct ReportLog {
  int fd = -1;
};

struct ReportSession {
  std::string collectorPath = kDefaultCollectorPath;
  int networkInitStatus = -1;
  char workDir[sizeof(kWorkDirTemplate)] = "/tmp/cvreport.XXXXXX";
  std::string filesDir;
  std::string archivePath;
  ContactInfo contact;
  std::string replyMessage;
  std::map<std::string, std::string> replyValues;
  bool keepWorkDir = false;
  std::string exitMessage;
  bool quiet = false;
  bool progress = false;
  ReportConfig config;
  ReportLog log;
};

// Every part of cvreport reads and writes this one run directly.
extern ReportSession reportSession;

}  // namespace cvreport
