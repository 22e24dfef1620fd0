#include "wizard/texts.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "submit/layout.h"

namespace cvreport {
namespace {

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

TEST(PageTexts, TheServicesIdIsShownAsPrintableText) {
  std::string idText;
  resultText({{"REPID", "770042\x1b]0;owned\x07\rProblemID: 1"}}, idText);
  EXPECT_EQ(idText.rfind("Your problem report was assigned ID 770042\\x1b]0;owned\\x07 ProblemID: 1\n\n", 0),
            0u)
      << idText;
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
