// What the reporter reviews before a report leaves: the archive's own
// files, read back from the archive itself so that what is shown is what
// is sent, and the archive packed again without the files the reporter
// excluded.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace cvreport {

// The value the collector leaves where it masked a secret.
inline constexpr char kMaskedValue[] = "********";
// Where the collector lists what it left out, and what it collected.
inline constexpr char kSkippedEntry[] = "collector/skipped.txt";
inline constexpr char kManifestMember[] = "collector/manifest.txt";

struct ReviewFile {
  std::string name;  // as in the archive, without a leading "./"
  int64_t size = 0;
  size_t maskedValues = 0;  // how many values the collector masked
};

struct ReportContents {
  std::vector<ReviewFile> files;      // regular files, by name
  std::vector<std::string> withheld;  // the skipped list's lines: "what: why"
};

// Lists the archive's regular files with their sizes and masked values,
// and the collector's list of what it withheld; -1 with the reason.
int listReportContents(const std::string& archivePath, ReportContents& contents,
                       std::string* message);

// The text of one file of the archive, at most maxBytes of it (truncated
// set when there was more); -1 with the reason, also when there is no such
// file.
int readReportFile(const std::string& archivePath, const std::string& name, size_t maxBytes,
                   std::string& text, bool& truncated, std::string* message);

// Called with each regular file's name and whole text.
using ReportFileVisit = std::function<void(const std::string& name, const std::string& data)>;
// Called with each regular file's name and text, which it may change; false
// leaves the file out.
using ReportFileEdit = std::function<bool(const std::string& name, std::string& data)>;

// Hands every regular file of the archive to visit, in archive order, one
// at a time; -1 with the reason.
int readReportFiles(const std::string& archivePath, const ReportFileVisit& visit,
                    std::string* message);

// Packs the archive again with every regular file passed through edit, and
// writes its SHA-256 file anew when there is one beside it. The new archive
// replaces the old one only once it is whole; -1 with the reason leaves the
// old one as it was.
int repackReport(const std::string& archivePath, const ReportFileEdit& edit,
                 std::string* message);

// Packs the archive again without the excluded files, recording each in
// the manifest as excluded by the reporter, and writes its SHA-256 file
// anew when there is one beside it. The new archive replaces the old one
// only once it is whole; -1 with the reason leaves the old one as it was.
int excludeFromReport(const std::string& archivePath, const std::set<std::string>& excluded,
                      std::string* message);

}  // namespace cvreport
