// The rule a contact's e-mail address must follow for the service's
// notification to reach it.
#pragma once

#include <string>

namespace cvreport {

// Whether address is one the wizard's contact page takes; checks only.
bool isValidEmail(const std::string& address);

}  // namespace cvreport
