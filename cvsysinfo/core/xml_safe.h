// Whatever a host's tools print, the document stays well-formed XML: text
// that XML cannot hold and names that XML cannot use are mended here.
#pragma once

#include <string>

namespace cvsysinfo {

// Invalid UTF-8 and characters XML 1.0 forbids (control characters other
// than tab, LF and CR) become U+FFFD; valid text is kept byte for byte.
// Returns false (and leaves out untouched) when nothing needs mending.
bool mend_xml_text(const char* text, size_t length, std::string& out);
// The text itself, or its mended copy.
std::string xml_safe_text_c(const char* text);

// A name that is not a valid XML name (empty, or not starting with a letter
// or "_") gets a leading "_"; characters no name may hold, and ":", become
// "_".
std::string xml_safe_name(const char* name);

}  // namespace cvsysinfo
