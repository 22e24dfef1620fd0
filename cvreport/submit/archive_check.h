// A report archive given back to cvreport (cvreport --send): opened once,
// checked to be what the collector packs, and read for the files the
// upload needs from it.
#pragma once

#include <sys/types.h>

#include <string>

#include "run/unique_handles.h"

namespace cvreport {

// Entries the collector always packs, by their names in the archive.
inline constexpr char kManifestEntry[] = "collector/manifest.txt";
inline constexpr char kContactEntry[] = "description";
inline constexpr char kReleaseEntry[] = "system/orbelin-release";
// The most of the contact file and of the release file that is read.
inline constexpr size_t kMaxContactBytes = 1024 * 1024;
inline constexpr size_t kMaxReleaseBytes = 64 * 1024;

// Opens path read-only, never blocking and never making it the controlling
// terminal, and takes it only as a regular file (a link to one is fine);
// -1 with the sentence for the user in message. size is the file's.
int openReportArchive(const std::string& path, UniqueFd& fd, off_t& size,
                      std::string* message);

// What an archive that passed inspectReportArchive holds.
struct ReportArchive {
  std::string contactText;
  bool hasRelease = false;
  std::string releaseText;  // its first kMaxReleaseBytes
};

enum class ArchiveVerdict {
  kReport,     // a gzip-compressed tar with the manifest and the contact file
  kNotTarGz,   // any other format, or another compression or none
  kNotReport,  // a tar, but not the collector's
  kDamaged,    // cut short or corrupt somewhere before its end
};

// Reads the whole archive from fd with pread (the descriptor's offset is
// left alone), so that an archive damaged anywhere is refused; the
// sentence for the user, naming the archive as name, is in message unless
// kReport. Silent.
ArchiveVerdict inspectReportArchive(int fd, const std::string& name, ReportArchive& found,
                                    std::string* message);

// The refusal of an archive of size bytes over limit (SUBMIT_MAX_SIZE; 0
// takes any size); -1 with the sentence for the user in message.
int checkArchiveSize(const std::string& name, unsigned long long size, unsigned long long limit,
                     std::string* message);
// The same for a report run's archive at path, named "The report archive";
// one that cannot be looked at passes, for the upload to report.
int checkArchiveFileSize(const std::string& path, unsigned long long limit, std::string* message);

}  // namespace cvreport
