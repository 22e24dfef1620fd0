#include "run/report_run.h"

#include <gtest/gtest.h>

#include <string>

namespace cvreport {
namespace {

TEST(ManualSendHint, NamesTheArchive) {
  std::string hint = manualSendHint("/tmp/cvreport.AbC123/cvreport.tgz");
  EXPECT_EQ(hint.rfind("Please send the /tmp/cvreport.AbC123/cvreport.tgz file containing the "
                       "generated report manually to ",
                       0),
            0u);
  EXPECT_EQ(hint.find("{REP_PATH}"), std::string::npos);
  EXPECT_NE(hint.find('@'), std::string::npos);
}

TEST(SendLaterHint, QuotesOnlyWhatTheShellWouldSplitOrExpand) {
  struct Case {
    const char* path;
    const char* command;
  } cases[] = {
      {"/var/lib/cvreport/kept/20261208-101500-2/cvreport.tgz",
       "cvreport --send /var/lib/cvreport/kept/20261208-101500-2/cvreport.tgz"},
      {"/tmp/cvreport.a+b=c:d_e/cvreport.tgz",
       "cvreport --send /tmp/cvreport.a+b=c:d_e/cvreport.tgz"},
      {"/tmp/my report.tgz", "cvreport --send '/tmp/my report.tgz'"},
      {"/tmp/it's $HOME*.tgz", "cvreport --send '/tmp/it'\\''s $HOME*.tgz'"},
      {"", "cvreport --send ''"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sendLaterHint(c.path),
              std::string("To send it later, from this host or any other that can reach the "
                          "service: ") + c.command)
        << c.path;
  }
}

}  // namespace
}  // namespace cvreport
