// The review page, between the collection and the submit page: the files
// of the archive, what the collector withheld and the lines that need
// attention; a file can be read in full and left out of the report.
#pragma once

#include <newt.h>

#include <set>
#include <string>

#include "submit/review.h"
#include "wizard/page.h"

namespace cvreport {

// WIZ_NEXT once the checked files are out of the archive and, when its box
// is checked, the names replaced (or at once when there is nothing to
// review: REVIEW=no, --collect-only, already reviewed, or a review that
// could not be prepared, said first; the configuration and the command line
// alone then decide on the replacing); WIZ_CANCELED once the user confirmed
// the cancel, the archive then marked to be kept; WIZ_ABORT when the names
// could not be replaced, the reason left as the wizard's exit text.
class DlgWizReview : public WizDialog {
 public:
  WizResult run() override;

 private:
  // The page once: WIZ_NEXT, WIZ_CANCEL, or WIZ_STAY after the view.
  WizResult runForm();
  // The page's grid; sets the components the form's exits are told by.
  newtGrid pageGrid();
  WizResult formCode(const newtExitStruct& exit, newtComponent form);
  void readChecks();
  // Leaves the checked files out of the archive; false, said, when it fails.
  bool excludeChecked();
  // Replaces the names in the archive when the session asks for it; false,
  // said, when the report must not go on.
  bool obfuscateWanted();

  ReportReview review_;
  std::set<std::string> excluded_;
  bool reviewed_ = false;
  bool obfuscated_ = false;
  newtComponent tree_ = nullptr;
  newtComponent obfuscateBox_ = nullptr;
  newtComponent next_ = nullptr;
  newtComponent cancel_ = nullptr;
};

}  // namespace cvreport
