// Byte-level text helpers shared by the parsers and the contact checks: one
// notion of a blank byte for the whole program.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

namespace cvreport {

// Bytes 0 to 32 are blank; bytes from 128 up belong to UTF-8 text.
bool isBlankByte(char c);
// Drops blank bytes at both ends, in place; returns the new length.
size_t trimBlank(std::string& value);
// The pieces between separators: n separators always give n + 1 pieces.
std::vector<std::string> splitAt(const std::string& text, char separator);

}  // namespace cvreport
