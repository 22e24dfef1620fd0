// cvreport --review: the report's files, what was withheld and the lines
// to look at, shown on the terminal, then a prompt that reads the
// reporter's commands until the report is sent or kept back. Text from the
// archive reaches the terminal as printable text only, and never through a
// pager or an editor, which a root run would turn into a root shell.
#pragma once

#include <set>
#include <string>

#include "submit/review.h"

namespace cvreport {

enum class ReviewChoice {
  kSend,      // the reporter chose to send; excluded holds what is left out
  kKeepBack,  // "abort", or the end of the input
};

// Runs the review of the archive at archivePath on stdin and stdout, and
// fills excluded with the files the reporter left out. A signal received
// while waiting for a line ends it as kKeepBack (pendingInterrupt tells).
ReviewChoice runConsoleReview(const std::string& archivePath, const ReportReview& review,
                              std::set<std::string>& excluded);

// Why --review cannot run in this process (with -q, or without a terminal
// on stdin and stdout); empty when it can.
std::string reviewRefusal(bool quiet);

// The line that tells, without a review, how many lines the second scan
// asks the reporter to look at and where they are listed; empty when none.
std::string attentionNotice(const ReportReview& review);

}  // namespace cvreport
