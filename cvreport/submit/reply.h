// The upload worker's output as the parent sees it: value lines up to the
// first blank line, the free text for the user after it.
#pragma once

#include <map>
#include <string>

namespace cvreport {

// Fills values and appends the free text to message; any text is a reply,
// so there is no failure.
void parseServerReply(const std::string& text, std::map<std::string, std::string>& values,
                      std::string& message);

}  // namespace cvreport
