// Reading a child's non-blocking output pipe without ever waiting on it.
#pragma once

#include <string>
#include <vector>

namespace cvreport {

enum class PipeState { kOpen, kEnded, kFailed };

// Appends everything the pipe holds now to collected.
PipeState drainPipe(int fd, std::string& collected);
// Moves the complete lines of what the pipe holds now, without their
// newlines, into lines; a line longer than maxLine is cut into pieces, and a
// last line without newline is taken once the pipe has ended.
PipeState readPipeLines(int fd, std::string& pending, std::vector<std::string>& lines,
                        size_t maxLine);

}  // namespace cvreport
