#include "run/log.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "scratch_dir.h"

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
  cvtest::ScratchDir scratch;
  std::string name = scratch.write("cvreport.log", "old\n");
  std::string refusal;
  ASSERT_EQ(openLog(name.c_str(), &refusal), LogOpen::kOpened);
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
}

TEST(Log, UnopenableLogFails) {
  std::string refusal;
  EXPECT_EQ(openLog("/nonexistent/dir/cvreport.log", &refusal), LogOpen::kFailed);
  EXPECT_EQ(redirectToLog(2), -1) << "a failed log was opened";
}

// Root appends to the log: a link, a FIFO or a directory there is refused, without
// writing through the link or waiting for a reader.
TEST(Log, LinksAndFifosAreNotUsed) {
  cvtest::ScratchDir scratch;
  std::string target = scratch.file("target");
  std::string link = scratch.file("link.log");
  std::string fifo = scratch.file("fifo.log");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  std::string refusal;
  EXPECT_EQ(openLog(link.c_str(), &refusal), LogOpen::kRefused);
  EXPECT_EQ(refusal, "Not using " + link + ": it is a symbolic link");
  EXPECT_NE(access(target.c_str(), F_OK), 0) << "the link's target was made";
  EXPECT_EQ(openLog(fifo.c_str(), &refusal), LogOpen::kRefused);
  EXPECT_EQ(refusal, "Not using " + fifo + ": it is not a regular file");
  EXPECT_EQ(openLog(scratch.path().c_str(), &refusal), LogOpen::kRefused);
  EXPECT_EQ(refusal, "Not using " + scratch.path() + ": it is not a regular file");
  EXPECT_EQ(redirectToLog(2), -1) << "a refused log was opened";
}

TEST(Log, ControlCharactersAreEscaped) {
  cvtest::ScratchDir scratch;
  std::string name = scratch.write("cvreport.log", "");
  std::string refusal;
  ASSERT_EQ(openLog(name.c_str(), &refusal), LogOpen::kOpened);
  logMessage("The server returned an error: %s", "\x1b]0;owned\x07\x1b[2J\tdone\rProblemID: 1");
  closeLog();
  std::ifstream in(name);
  std::stringstream content;
  content << in.rdbuf();
  std::string text = content.str();
  EXPECT_EQ(text.substr(text.find(": The") + 2),
            "The server returned an error: \\x1b]0;owned\\x07\\x1b[2J done ProblemID: 1\n");
}

}  // namespace
}  // namespace cvreport
