#include "wizard/review_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvreport {
namespace {

TEST(ReviewText, MarksHitLinesShowsNoEscapesAndCutsNamesWhole) {
  std::vector<AttentionHit> hits = {{"a", 2, AttentionRule::kSecretValue},
                                    {"a", 2, AttentionRule::kRandomToken},
                                    {"a", 9, AttentionRule::kPrivateKey}};
  EXPECT_EQ(markedFileText("x\n\x1b[2Jy\r\nz", hits, true),
            std::string("x\n>> ") + attentionRuleName(AttentionRule::kSecretValue) +
                ", a long random-looking token: \\x1b[2Jy \nz\n[Only the start of the file is "
                "shown here; the whole file is in the report.]\n");
  // The row keeps its columns; the name loses its front, never half a character.
  EXPECT_EQ(reviewFileRow({"d/" + std::string(30, 'd') + "/\xc3\xa9t\xc3\xa9", 5 << 20, 2}, 1),
            "..." + std::string(27, 'd') + "/\xc3\xa9t\xc3\xa9    5.0 MiB        2         1");
}

}  // namespace
}  // namespace cvreport
