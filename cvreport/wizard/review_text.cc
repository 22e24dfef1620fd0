#include "wizard/review_text.h"

#include <inttypes.h>
#include <stdio.h>

#include <set>

#include "run/text.h"

namespace cvreport {
namespace {

constexpr size_t kNameColumns = 34;

// Screen columns, near enough: a UTF-8 continuation byte takes none.
size_t columnsOf(const std::string& text) {
  size_t columns = 0;
  for (unsigned char c : text) columns += (c & 0xC0) != 0x80;
  return columns;
}

std::string sizeText(int64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB"};
  char text[32];
  if (bytes < 1024) {
    snprintf(text, sizeof text, "%" PRId64 " B", bytes);
    return text;
  }
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < 3) {
    value /= 1024;
    ++unit;
  }
  snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string counts(const std::string& size, size_t masked, size_t attention) {
  char text[64];
  snprintf(text, sizeof text, " %10s %8zu %9zu", size.c_str(), masked, attention);
  return text;
}

}  // namespace

std::string shownName(const std::string& name, size_t columns) {
  std::string shown = printableText(name, LineBreaks::kSpace);
  size_t has = columnsOf(shown);
  if (has <= columns) return shown + std::string(columns - has, ' ');
  size_t from = 0;
  for (size_t drop = has - (columns - 3); drop > 0; --drop) {
    do ++from; while (from < shown.size() && (shown[from] & 0xC0) == 0x80);
  }
  return "..." + shown.substr(from);
}

std::string reviewHeadRow() {
  std::string head = "File";
  head.resize(kNameColumns, ' ');
  return head + "       Size   Masked Attention";
}

std::string reviewFileRow(const ReviewFile& file, size_t attentionLines) {
  return shownName(file.name, kNameColumns) +
         counts(sizeText(file.size), file.maskedValues, attentionLines);
}

size_t attentionLineCount(const std::vector<AttentionHit>& hits) {
  std::set<size_t> lines;
  for (const AttentionHit& hit : hits) lines.insert(hit.line);
  return lines.size();
}

std::string reviewNotesText(const ReportReview& review) {
  std::string text;
  if (review.contents.withheld.empty()) text = "The collector withheld nothing.\n";
  else text = "Withheld by the collector:\n";
  for (const std::string& line : review.contents.withheld) {
    text += "  " + printableText(line, LineBreaks::kSpace) + "\n";
  }
  if (review.attention.empty()) return text + "\nNo line needs your attention.";
  text += "\nLines that need your attention (the list stays on this host, in " +
          printableText(review.attentionListPath, LineBreaks::kSpace) + "):\n";
  for (const AttentionHit& hit : review.attention) {
    text += "  " + printableText(hit.file, LineBreaks::kSpace) + ":" + std::to_string(hit.line) +
            ": " + attentionRuleName(hit.rule) + "\n";
  }
  text.pop_back();
  return text;
}

std::string markedFileText(const std::string& text, const std::vector<AttentionHit>& hits,
                           bool truncated) {
  std::string shown;
  size_t number = 1;
  size_t hit = 0;
  for (size_t start = 0; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string rules;
    for (; hit < hits.size() && hits[hit].line <= number; ++hit) {
      if (hits[hit].line < number) continue;
      rules += (rules.empty() ? "" : ", ") + std::string(attentionRuleName(hits[hit].rule));
    }
    if (!rules.empty()) shown += ">> " + rules + ": ";
    shown += printableText(text.substr(start, end - start), LineBreaks::kSpace) + "\n";
    start = end + 1;
  }
  if (truncated) {
    shown += "[Only the start of the file is shown here; the whole file is in the report.]\n";
  }
  return shown;
}

}  // namespace cvreport
