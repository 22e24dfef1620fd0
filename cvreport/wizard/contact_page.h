// The welcome page and the contact page.
#pragma once

#include "wizard/page.h"

namespace cvreport {

// Welcome.
class DlgWizStep1 : public WizDialog {
 public:
  WizResult run() override;
};

// Contact details and problem description.
class DlgWizStep2 : public WizDialog {
 public:
  WizResult run() override;

  // The last "Next" was refused for the address: its entry gets the focus.
  bool emailInvalid = false;

 private:
  WizResult validate(WizResult code);
};

}  // namespace cvreport
