#include "run/report_run.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

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
  const std::pair<const char*, const char*> cases[] = {
      {"/var/lib/cvreport/kept/20261208-101500-2/x.tgz",
       "/var/lib/cvreport/kept/20261208-101500-2/x.tgz"},
      {"/tmp/a+b=c:d_e/x.tgz", "/tmp/a+b=c:d_e/x.tgz"},
      {"/tmp/my report.tgz", "'/tmp/my report.tgz'"},
      {"/tmp/it's $HOME*.tgz", "'/tmp/it'\\''s $HOME*.tgz'"},
      {"", "''"}};
  const std::string lead =
      "To send it later, from this host or any other that can reach the service: cvreport --send ";
  for (const auto& c : cases) EXPECT_EQ(sendLaterHint(c.first), lead + c.second) << c.first;
}

}  // namespace
}  // namespace cvreport
