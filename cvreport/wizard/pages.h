// The wizard's pages: one class per page, all shown through run(), which
// builds the page's window, runs it modally and removes it again.
#pragma once

#include <newt.h>
#include <stdint.h>

#include <string>

namespace cvreport {

enum WizResult : int16_t {
  WIZ_CANCEL = 100,
  WIZ_FINISH = 101,
  WIZ_NEXT = 200,
  WIZ_BACK = 201,
  WIZ_ABORT = 205,
  WIZ_STAY = 206,
};

class WizDialog {
 public:
  virtual ~WizDialog() {}
  virtual WizResult run() = 0;
};

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

// Runs the collector and follows its progress.
class DlgWizStep3 : public WizDialog {
 public:
  WizResult run() override;
  WizResult collect();

  int progress = 0;
  newtComponent scale = nullptr;
  newtComponent form = nullptr;
};

// Asks whether to submit the finished archive.
class DlgWizStep4 : public WizDialog {
 public:
  WizResult run() override;

  std::string text;
};

// The "Sending..." window around one upload.
class DlgWizStep4Send : public WizDialog {
 public:
  WizResult run() override;
  WizResult send();

  newtComponent scale = nullptr;
};

// The problem ID the service assigned.
class DlgWizStep5 : public WizDialog {
 public:
  WizResult run() override;

  std::string text;
};

}  // namespace cvreport
