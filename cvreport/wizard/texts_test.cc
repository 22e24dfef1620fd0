#include "wizard/texts.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "submit/layout.h"

namespace cvreport {
namespace {

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
    EXPECT_EQ(lastUploadPercent(c.collected, scan, percent), c.found) << c.collected;
    EXPECT_EQ(percent, c.percent) << c.collected;
    EXPECT_EQ(scan, c.scanTo) << c.collected;
  }
}

TEST(PageTexts, SubmitPageNamesTheArchive) {
  EXPECT_EQ(submitPageText("/tmp/cvreport.Ab12Cd/cvreport.tgz"),
            "The wizard has finished generating the report and is ready to submit it to the "
            "Corvanta technical support.\n\nThe collected data is located in the\n"
            "/tmp/cvreport.Ab12Cd/cvreport.tgz file.\n\nPlease press the 'Submit' button  to "
            "send the report.");
}

TEST(PageTexts, ResultNamesTheProblemIdOnlyWhenGiven) {
  const std::string first =
      "Your report has been successfully submitted to the Corvanta technical support team.\n\n";
  std::string idText = "stale";
  EXPECT_EQ(resultText({{"STATUS", "accepted"}}, idText), first);
  EXPECT_EQ(idText, "");

  std::string text = resultText({{"REPID", "770042"}, {"PROGRESS", "100"}}, idText);
  EXPECT_EQ(idText.rfind("Your problem report was assigned ID 770042\n\n", 0), 0u);
  EXPECT_EQ(text, first + idText);
  std::string exitText;
  layoutText(exitText, idText, kExitTextWidth);
  EXPECT_EQ(exitText,
            "Your problem report was assigned ID 770042\n\n"
            "Please refer to this ID when contacting the Corvanta technical\nsupport.\n\n"
            "You have been sent an email notification about the report with\n"
            "additional instructions on how you can further communicate with\n"
            "the Corvanta support team via email.\n\n");
}

TEST(PageTexts, SubmitErrorIndentsTheReasonOnTheTerminal) {
  std::string text = submitErrorText("Disk full", "Please send it.");
  EXPECT_EQ(text, "Failed to submit your report:\n\t\t\t\tDisk full\n\nPlease send it.");
  std::string exitText;
  layoutText(exitText, text, kExitTextWidth);
  EXPECT_EQ(exitText, "Failed to submit your report:\n    Disk full\n\nPlease send it.\n");
}

}  // namespace
}  // namespace cvreport
