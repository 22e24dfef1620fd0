// A wizard page: one class per page, each shown through run(), which
// builds the page's window, runs it modally and removes it again.
#pragma once

#include <stdint.h>

namespace cvreport {

enum WizResult : int16_t {
  WIZ_CANCEL = 100,
  WIZ_FINISH = 101,
  WIZ_CANCELED = 102,  // the page asked already: the wizard ends as canceled
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

}  // namespace cvreport
