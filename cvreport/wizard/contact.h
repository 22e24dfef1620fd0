// The contact page's checks.
#pragma once

#include <string>

#include "run/session.h"

namespace cvreport {

// Trims the four required fields and returns a line for each that is then
// empty, in page order; empty when none is missing.
std::string trimAndListMissing(ContactInfo& contact);
}  // namespace cvreport
