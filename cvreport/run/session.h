// The state of the one report run that a cvreport process performs, and
// the error rule that every layer of cvreport follows:
//
// - run/ and submit/ return a status (0 or -1, a named enum where there are
//   more outcomes) and put the reason in a message out-argument (or in
//   the outcome record they return). They print nothing and show nothing.
// - They log only what their caller cannot: a system call's failure with
//   its errno in the child plumbing, and whatever happens inside a forked
//   child. The upload worker writes its reply, reasons for failure
//   included, on its stdout, which is its report to the parent.
// - The front end that owns the user interface (the console flow or the
//   wizard) logs every other failure and tells the user, each once.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace cvreport {

inline constexpr const char kDefaultCollectorPath[] =
    "/usr/libexec/cvreport/cvreport_collector";
inline constexpr const char kWorkDirTemplate[] = "/tmp/cvreport.XXXXXX";

inline constexpr int kContactGivenName = 1;
inline constexpr int kContactGivenCompany = 2;
inline constexpr int kContactGivenEmail = 4;
inline constexpr int kContactGivenSubject = 8;
inline constexpr int kContactGivenDescription = 16;

struct ContactInfo {
  std::string fullName;
  std::string company;
  std::string email;
  std::string subject;
  std::string description;
};

using ReportConfig = std::map<std::string, std::string>;

struct ReportSession {
  std::string collectorPath = kDefaultCollectorPath;
  std::string filesDir;
  std::string archivePath;
  ContactInfo contact;
  std::map<std::string, std::string> replyValues;
  // Set once the archive must stay for the reporter to send by hand.
  bool keepWorkDir = false;
  std::string exitMessage;
  // What the start found and the run goes on without (a log not used, a
  // configuration line dropped); the front end shows and logs each once.
  std::vector<std::string> startWarnings;
  bool quiet = false;
  bool progress = false;
  // --collect-only: the archive is collected and kept, nothing is sent.
  bool collectOnly = false;
  // --review: the console shows the report and asks before it leaves.
  bool review = false;
  // --obfuscate: names, addresses and users replaced before the report is
  // reviewed or kept (OBFUSCATE=yes sets it too, and the wizard's review
  // page may change it).
  bool obfuscate = false;
  // --send: the archive an earlier run kept or collected, and which contact
  // options the command line gave to replace the archive's fields
  // (kContactGiven* bits).
  std::string sendPath;
  int contactGiven = 0;
  // The archive, already open for reading, that the upload sends instead of
  // opening archivePath (-1: none); its owner is the front end.
  int archiveFd = -1;
  // The product version the upload names; empty: the host's release file.
  std::string productVersion;
  // SUBMIT_MAX_SIZE: the largest archive the service accepts, 0 for any.
  unsigned long long maxArchiveSize = 0;
  ReportConfig config;
};

// The one run of this process. Only main, the console flow and the wizard
// use it; run/ and submit/ are handed what they need as arguments.
extern ReportSession reportSession;

}  // namespace cvreport
