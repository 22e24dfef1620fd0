#include "wizard/review_text.h"

#include <gtest/gtest.h>

#include <string>

namespace cvreport {
namespace {

TEST(ReviewText, MarksTheLinesTheHitsNameAndCutsNamesWhole) {
  auto hit = [](size_t line, AttentionRule rule) { return AttentionHit{"a.conf", line, rule}; };
  std::string secret = std::string(">> ") + attentionRuleName(AttentionRule::kSecretValue);
  EXPECT_EQ(markedFileText("a\nkey=v\nc\n", {hit(2, AttentionRule::kSecretValue)}, false),
            "a\n" + secret + ": key=v\nc\n");
  // Two rules on the last line, which has no line feed.
  EXPECT_EQ(markedFileText("x\ny", {hit(2, AttentionRule::kSecretValue),
                                     hit(2, AttentionRule::kRandomToken)}, false),
            "x\n" + secret + ", a long random-looking token: y\n");
  // No escape reaches the screen; a hit past the end marks nothing.
  EXPECT_EQ(markedFileText("\x1b[2Jz\r\n", {hit(7, AttentionRule::kSecretValue)}, true),
            "\\x1b[2Jz \n[Only the start of the file is shown here; the whole file is in the "
            "report.]\n");
  // A long name loses its front, never half a character; the columns stay.
  std::string name = "d/" + std::string(30, 'd') + "/\xc3\xa9t\xc3\xa9";
  std::string row = reviewFileRow({name, 5 << 20, 2}, 1);
  EXPECT_EQ(row, "..." + std::string(27, 'd') + "/\xc3\xa9t\xc3\xa9    5.0 MiB        2         1");
  EXPECT_EQ(reviewHeadRow().size(), reviewFileRow({"a", 1023, 0}, 0).size());
}

}  // namespace
}  // namespace cvreport
