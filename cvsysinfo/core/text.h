// The few ways the inventory cuts up what tools print, each in one place.
#pragma once

#include <string>
#include <vector>

namespace cvsysinfo {

// White space as the C locale has it (space, tab, LF, VT, FF, CR).
bool is_blank(char c);

// The text without white space at either end.
std::string trim(const std::string& text);

// Past the spaces and tabs that tools indent their lines with.
char* skip_indent(char* line);

// Fields at white space, a run of it being one separator, so that a blank
// at either end gives an empty first or last field (a df line wrapped
// after a long device name starts with one).
std::vector<std::string> split_fields(const std::string& line);

// Outside text (a document's value, a file name) as one line a terminal
// shows harmlessly: what XML text cannot hold (bytes that are not UTF-8,
// C0 controls) becomes U+FFFD as in the inventory, tabs and line breaks
// spaces, DEL and the C1 controls "?".
std::string printable_line(const std::string& text);

}  // namespace cvsysinfo
