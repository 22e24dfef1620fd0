// The report log "/var/log/cvreport.log": one flushed line per record.
#pragma once

#include <cstdarg>
#include <string>

namespace cvreport {

inline constexpr const char kReportLogPath[] = "/var/log/cvreport.log";

enum class LogOpen {
  kOpened,
  kRefused,  // a link or not a regular file (a directory too): the run goes on without a log
  kFailed,   // the caller reports it (nothing to log to)
};

// Opens the log for appending, never through a symbolic link and only when
// it is a regular file; kRefused with the sentence for the user in refusal.
LogOpen openLog(const char* path, std::string* refusal);
// Appends one record; failures to write are ignored, there is nowhere to
// report them.
// "%m" in the format stands for the text of the errno current at the call.
// Text from files, tools or servers goes in through "%s", never as the format.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Makes fd a copy of the log descriptor (a child's stderr); -1 when no log
// is open or the dup fails. Silent.
int redirectToLog(int fd);
// Closes the log; later records are dropped.
void closeLog();

// Builds the text of one record, without the time prefix; exposed for tests.
std::string formatLogText(int savedErrno, const char* format, va_list args);

}  // namespace cvreport
