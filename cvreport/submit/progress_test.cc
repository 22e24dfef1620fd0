#include "submit/progress.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

namespace cvreport {
namespace {

TEST(UploadPercent, TruncatesTowardZero) {
  const curl_off_t tera = static_cast<curl_off_t>(1) << 40;
  struct {
    curl_off_t total, now;
    int percent;
  } cases[] = {
      {0, 0, 0},       {0, 500, 0},    {1024, 512, 50},       {1024, 1023, 99},
      {1024, 1024, 100}, {3, 1, 33}, {tera, tera - 1, 99},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(uploadPercent(c.total, c.now), c.percent) << c.now << "/" << c.total;
  }
}

// The percentages of the complete progress lines from scanPos on.
std::string printLines(const std::string& collected, size_t& scanPos) {
  std::string text;
  int percent = 0;
  while (nextUploadPercent(collected, scanPos, percent)) {
    text += "Upload progress: " + std::to_string(percent) + "%\n";
  }
  return text;
}

TEST(ProgressLines, OnlyCompleteLinesArePrintedOnceInOrder) {
  std::string collected = "PROGRESS=0\nPROGRESS=1";
  size_t scan = 0;
  EXPECT_EQ(printLines(collected, scan), "Upload progress: 0%\n");
  // The split line is held back until its newline arrives.
  EXPECT_EQ(printLines(collected, scan), "");
  collected += "2\nPROGRESS=50\nPROGRESS=100\n";
  EXPECT_EQ(printLines(collected, scan),
            "Upload progress: 12%\nUpload progress: 50%\nUpload progress: 100%\n");
  collected += "REPID=7\n";
  EXPECT_EQ(printLines(collected, scan), "");
}

TEST(ProgressLines, WorkerWritesOnlyChangedPercentages) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* saved = stdout;
  stdout = open_memstream(&buffer, &size);
  resetUploadProgress();
  const curl_off_t total = 1000;
  for (curl_off_t now = 0; now <= total; ++now) reportUploadProgress(nullptr, 0, 0, total, now);
  reportUploadProgress(nullptr, 0, 0, total, total);
  fclose(stdout);
  stdout = saved;
  std::string text(buffer, size);
  free(buffer);
  std::string expected;
  for (int p = 0; p <= 100; ++p) expected += "PROGRESS=" + std::to_string(p) + "\n";
  EXPECT_EQ(text, expected);
}

TEST(ReplyDeadline, RunsOnlyOnceTheBodyIsSent) {
  // (total, sent, now) in order, whether the deadline has passed and
  // whether a whole body has gone out by then.
  const struct {
    curl_off_t total, sent;
    double now;
    bool passed, bodySent;
  } steps[] = {
      {0, 0, 0, false, false},        // nothing known yet (a challenge's empty body)
      {0, 0, 100, false, false},
      {1000, 10, 101, false, false},  // sending
      {1000, 999, 101, false, false},
      {1000, 1000, 102, false, true},  // all sent: the clock starts
      {1000, 1000, 111, false, true},
      {1000, 0, 112, false, true},   // a second request (a Digest retry) sends again
      {1000, 1000, 113, false, true},  // the clock starts afresh
      {1000, 1000, 123, false, true},  // exactly the limit
      {1000, 1000, 123.5, true, true},
      {1000, 1000, 124, true, true},
  };
  ReplyDeadline deadline;
  deadline.limitSeconds = 10;
  for (const auto& step : steps) {
    EXPECT_EQ(replyDeadlinePassed(deadline, step.total, step.sent, step.now), step.passed)
        << step.now;
    EXPECT_EQ(deadline.bodySent, step.bodySent) << step.now;
  }
  EXPECT_TRUE(deadline.expired);

  ReplyDeadline none;  // 0: waits for ever, and still sees the body go out
  EXPECT_FALSE(replyDeadlinePassed(none, 10, 9, 0));
  EXPECT_FALSE(none.bodySent);
  EXPECT_FALSE(replyDeadlinePassed(none, 10, 10, 0));
  EXPECT_FALSE(replyDeadlinePassed(none, 10, 10, 1e9));
  EXPECT_TRUE(none.bodySent);
}

TEST(CollectorProgress, ReadsProgressLinesOnly) {
  const struct {
    const char* line;
    bool matches;
    int percent;
  } cases[] = {
      {"Progress: 0", true, 0},
      {"Progress: 42", true, 42},
      {"Progress: 100", true, 100},
      {"Progress: 150", true, 150},
      {"Progress: 7 of the packages", true, 7},
      {"Progress:   9", true, 9},
      {"Progress: -3", true, -3},
      {"progress: 42", false, -1},
      {"PROGRESS: 42", false, -1},
      {"Progress 42", false, -1},
      {" Progress: 42", false, -1},
      {"Progress: ", false, -1},
      {"Progress: done", false, -1},
      {"collector output line one", false, -1},
      {"", false, -1},
  };
  for (const auto& c : cases) {
    int percent = -1;
    EXPECT_EQ(parseCollectorProgress(c.line, percent), c.matches) << c.line;
    EXPECT_EQ(percent, c.percent) << c.line;
  }
}

TEST(CollectorProgress, TheScaleShowsZeroToHundred) {
  const int cases[][2] = {{-5, 0}, {0, 0}, {55, 55}, {100, 100}, {101, 100}, {100000, 100}};
  for (const auto& c : cases) EXPECT_EQ(scalePercent(c[0]), c[1]) << c[0];
}

TEST(UploadProgress, FollowsTheLastCompleteProgressLine) {
  const struct {
    const char* collected;
    size_t scanFrom;
    bool found;
    int percent;
    size_t scanTo;
  } cases[] = {
      {"", 0, false, -1, 0},
      {"PROGRESS=0\n", 0, true, 0, 11},
      {"PROGRESS=0\nPROGRESS=37\nPROGRESS=5", 0, true, 37, 23},
      {"PROGRESS=0\nPROGRESS=37\n", 11, true, 37, 23},
      {"PROGRESS=0\nPROGRESS=37\n", 23, false, -1, 23},
      {"PROGRESS=100\nREPID=7\n", 0, true, 100, 13},
      {"XPROGRESS=50\n", 0, false, -1, 13},
      {"PROGRESS=abc\n", 0, false, -1, 13},
      {"PROGRESS=250\n", 0, true, 100, 13},
  };
  for (const auto& c : cases) {
    size_t scan = c.scanFrom;
    int percent = -1;
    bool found = false;
    while (nextUploadPercent(c.collected, scan, percent)) found = true;
    EXPECT_EQ(found, c.found) << c.collected;
    EXPECT_EQ(percent, c.percent) << c.collected;
    EXPECT_EQ(scan, c.scanTo) << c.collected;
  }
}

}  // namespace
}  // namespace cvreport
