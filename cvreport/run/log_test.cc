#include "run/log.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>


namespace cvreport {
namespace {

std::string format(int err, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = formatLogText(err, fmt, args);
  va_end(args);
  return text;
}

TEST(LogText, SystemErrorTextReplacesTheFirstPercentM) {
  EXPECT_EQ(format(ENOENT, "Fatal error: %m"), "Fatal error: No such file or directory");
  EXPECT_EQ(format(EACCES, "%s: %m (%d)", "open", 3), "open: Permission denied (3)");
  EXPECT_EQ(format(0, "plain %s", "100%"), "plain 100%");
}

TEST(Log, RecordsAreTimeStampedLinesAppended) {
  char name[] = "/tmp/cvlog_test.XXXXXX";
  int fd = mkstemp(name);
  ASSERT_EQ(write(fd, "old\n", 4), 4);
  close(fd);
  ASSERT_EQ(openLog(name), 0);
  errno = EPERM;
  logMessage("Can't do it: %m");
  logMessage("%s", "text with %s and %n inside");
  logMessage("The server returned an error: %s", "ERRCODE=17\r\n\nDisk full");
  EXPECT_EQ(redirectToLog(-1), -1);
  closeLog();
  logMessage("not written: the log is closed");
  EXPECT_EQ(redirectToLog(2), -1);

  std::ifstream in(name);
  std::stringstream content;
  content << in.rdbuf();
  std::regex expected(
      "old\n"
      "[A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: Can't do it: Operation not permitted\n"
      "[A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: text with %s and %n inside\n"
      "[A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: "
      "The server returned an error: ERRCODE=17   Disk full\n");
  EXPECT_TRUE(std::regex_match(content.str(), expected)) << content.str();
  unlink(name);
}

TEST(Log, UnopenableLogFails) {
  EXPECT_EQ(openLog("/nonexistent/dir/cvreport.log"), -1);
  EXPECT_EQ(logDescriptor(), -1);
}

}  // namespace
}  // namespace cvreport
