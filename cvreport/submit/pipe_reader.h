// Reading a child's non-blocking output pipe with read(), without ever
// waiting on it, and cutting what arrives into whole lines. Both front ends
// read their children's output through these.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

namespace cvreport {

enum class PipeState { kOpen, kEnded, kFailed };

// Appends everything the pipe holds now to collected; kFailed on a read
// error (silent: the caller ends its loop as at end of output).
PipeState drainPipe(int fd, std::string& collected);
// Moves the complete lines of what the pipe holds now, each with its
// newline, into lines; a line longer than maxLine is cut into pieces, and a
// last line without newline is taken once the pipe has ended.
PipeState readPipeLines(int fd, std::string& pending, std::vector<std::string>& lines,
                        size_t maxLine);
// Waits until the pipe has something to read or has ended, at most
// millis (-1: no limit).
void waitForPipe(int fd, int millis);

}  // namespace cvreport
