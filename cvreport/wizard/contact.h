// The contact page's checks and its contact file.
#pragma once

#include <stddef.h>

#include <string>

#include "run/session.h"

namespace cvreport {

// Drops the bytes 0x00 to 0x20 at both ends, in place; the new length.
size_t trimBlank(std::string& value);
bool isValidEmail(const std::string& address);
// Trims the four required fields and returns a line for each that is then
// empty, in page order; empty when none is missing.
std::string trimAndListMissing(ContactInfo& contact);
// Writes "description" into filesDir; -1 when it could not be written whole.
int writeContactFile(const std::string& filesDir, const ContactInfo& contact);

}  // namespace cvreport
