#include "submit/review.h"

namespace cvreport {

int prepareReview(const std::string& archivePath, const std::string& filesDir,
                  ReportReview& review, std::string* message) {
  review = ReportReview();
  if (listReportContents(archivePath, review.contents, message) != 0) return -1;
  if (scanReportFiles(filesDir, review.attention, message) != 0) return -1;
  review.attentionListPath = archivePath.substr(0, archivePath.rfind('/') + 1) + kAttentionListName;
  return writeAttentionList(review.attentionListPath, review.attention, message);
}

std::vector<AttentionHit> attentionIn(const ReportReview& review, const std::string& file) {
  std::vector<AttentionHit> hits;
  for (const AttentionHit& hit : review.attention) {
    if (hit.file == file) hits.push_back(hit);
  }
  return hits;
}

}  // namespace cvreport
