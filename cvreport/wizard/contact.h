// The contact page's checks.
#pragma once

#include <string>

#include "run/session.h"

namespace cvreport {

// Checks only; the contact page tells the user.
bool isValidEmail(const std::string& address);
}  // namespace cvreport
