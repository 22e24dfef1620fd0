// What the reporter looks at before a report leaves: the archive's files,
// what the collector withheld, and the lines of the second scan, whose list
// is written beside the archive (never into it).
#pragma once

#include <string>
#include <vector>

#include "submit/attention_scan.h"
#include "submit/report_review.h"

namespace cvreport {

// The attention list's name beside the archive, in the work directory and
// in a kept report's entry.
inline constexpr char kAttentionListName[] = "attention.txt";

struct ReportReview {
  ReportContents contents;
  std::vector<AttentionHit> attention;
  std::string attentionListPath;
};

// Lists the archive's files, scans the collected files in filesDir (the
// bytes the archive was packed from) and writes the attention list beside
// the archive; -1 with the reason. Silent.
int prepareReview(const std::string& archivePath, const std::string& filesDir,
                  ReportReview& review, std::string* message);

// The hits in one file of the archive, in line order.
std::vector<AttentionHit> attentionIn(const ReportReview& review, const std::string& file);

}  // namespace cvreport
