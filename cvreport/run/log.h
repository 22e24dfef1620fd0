// The report log "/var/log/cvreport.log": one flushed line per record.
#pragma once

#include <cstdarg>
#include <string>

namespace cvreport {

inline constexpr const char kReportLogPath[] = "/var/log/cvreport.log";

int openLog(const char* path);
// "%m" in the format stands for the text of the errno current at the call.
// Text from files, tools or servers goes in through "%s", never as the format.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
int redirectToLog(int fd);
void closeLog();

// Builds the text of one record, without the time prefix; exposed for tests.
std::string formatLogText(int savedErrno, const char* format, va_list args);

}  // namespace cvreport
