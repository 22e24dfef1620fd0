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

// A size for people: "812 bytes", "1.5 KiB", "3.0 MiB".
std::string byteSizeText(long long bytes);

enum class LineBreaks { kKeep, kSpace };

// Text from a server, a file or a tool as it may reach a terminal, a newt
// window or the log: valid UTF-8 printable text stays as it is, a tab
// becomes a space, and every other control character (C0, DEL, the UTF-8
// encoded C1 range) and every byte that is not valid UTF-8 is shown as
// "\xNN", so that no escape sequence, carriage return or backspace reaches
// the reader. With kKeep a line feed stays (a CR right before it goes);
// with kSpace both become spaces and the result is one line.
std::string printableText(const std::string& text, LineBreaks breaks);

}  // namespace cvreport
