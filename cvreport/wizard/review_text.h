// What the review page shows, laid out apart from the screen so that it can
// be checked alone.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "submit/review.h"

namespace cvreport {

// The columns a file's row takes after the tree's checkbox.
inline constexpr int kReviewRowWidth = 64;

// None of these can fail.
// A file's name as printable text in exactly columns (more than 3): the
// end of a path tells files apart, so a long name loses its front.
std::string shownName(const std::string& name, size_t columns);
// The column heads, aligned with the rows under the checkboxes.
std::string reviewHeadRow();
// One file: its name (cut at the front when it is long), its size, how many
// values were masked in it and how many of its lines need attention.
std::string reviewFileRow(const ReviewFile& file, size_t attentionLines);
// How many distinct lines of one file the hits name.
size_t attentionLineCount(const std::vector<AttentionHit>& hits);
// What the collector withheld and why, then the attention list.
std::string reviewNotesText(const ReportReview& review);
// A file's text as the view shows it: printable text only, each line the
// hits name led by ">> " and its rules, and a last line when the text was
// cut.
std::string markedFileText(const std::string& text, const std::vector<AttentionHit>& hits,
                           bool truncated);

}  // namespace cvreport
