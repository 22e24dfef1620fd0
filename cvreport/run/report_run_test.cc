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

}  // namespace
}  // namespace cvreport
