// Paragraph word wrap of message texts, one column per byte.
#pragma once

#include <string>

namespace cvreport {

// Appends the laid-out text to out and returns the number of lines made;
// any text can be laid out, so there is no failure.
int layoutText(std::string& out, const std::string& text, int wrapWidth);

}  // namespace cvreport
