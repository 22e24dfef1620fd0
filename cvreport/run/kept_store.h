// The kept reports: archives a run could not send, moved out of /tmp (which
// cleaning and reboots empty) into a root-only store, one entry per report,
// so that they can be sent later with cvreport --send.
#pragma once

#include <time.h>

#include <string>
#include <vector>

#include "run/session.h"

namespace cvreport {

inline constexpr char kKeptStoreParent[] = "/var/lib/cvreport";
inline constexpr char kKeptStorePath[] = "/var/lib/cvreport/kept";
// The names of the files in an entry; the archive's is the work directory's.
inline constexpr char kKeptArchiveName[] = "cvreport.tgz";
inline constexpr char kKeptChecksumName[] = "cvreport.tgz.sha256";
inline constexpr char kKeptContactName[] = "description";
// The second scan's list of lines to look at: it stays beside its archive.
inline constexpr char kKeptAttentionName[] = "attention.txt";

// Moves the run's archive, its checksum file and its attention list when
// there are such, and its contact file into a new entry of the store (made root's and 0700 when
// missing) named by the UTC date and time, and points s.archivePath at the
// entry's archive; the work directory is then no longer kept. Does nothing
// and returns 0 when the archive is not the one this run collected in its
// work directory (cvreport --send). -1 leaves everything in the work
// directory, with s.keepWorkDir set and the reason, one sentence naming the
// store, in message. Silent.
int keepReport(ReportSession& s, std::string* message);

// Removes the entry whose archive archivePath is (after resolving links in
// the path), setting removed; 0 when it was removed or archivePath is no
// kept archive, -1 with the reason. Silent.
int removeKeptReport(const std::string& archivePath, bool& removed, std::string* message);

struct KeptReport {
  std::string archivePath;
  time_t keptAt = 0;          // UTC, from the entry's name
  long long archiveBytes = 0;
  std::string subject;        // as the contact file has it: not yet printable
};

// The kept reports, oldest first; entries without a regular archive are
// left out. A missing store is an empty list. -1 with the reason when the
// store is unsafe (a link, not root's) or cannot be read. Silent.
int listKeptReports(std::vector<KeptReport>& reports, std::string* message);

}  // namespace cvreport
