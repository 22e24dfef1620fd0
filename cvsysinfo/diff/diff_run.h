// cvsysinfo --diff: reads two inventories, compares them and prints what
// changed, with diff's exit statuses.
#pragma once

namespace cvsysinfo {

enum class DiffFormat { kText, kXml };

struct DiffRequest {
  const char* old_path;
  const char* new_path;
  bool all = false;  // volatile values too
  DiffFormat format = DiffFormat::kText;
};

// The exit status of a comparison.
enum DiffStatus { kDiffSame = 0, kDiffChanged = 1, kDiffTrouble = 2 };

// Runs the whole comparison: the changes on standard output, a document
// that cannot be read (one line naming it) or two hosts' documents (a
// warning, then the comparison) on standard error.
DiffStatus run_diff(const DiffRequest& request);

}  // namespace cvsysinfo
