#include "wizard/review_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvreport {
namespace {

AttentionHit hitAt(size_t line, AttentionRule rule) { return {"etc/app.conf", line, rule}; }

TEST(ReviewText, MarksExactlyTheLinesTheHitsName) {
  const char* secret = "a value named as a secret";
  const char* token = "a long random-looking token";
  struct Case {
    std::string text;
    std::vector<AttentionHit> hits;
    bool truncated;
    std::string shown;
  } cases[] = {
      {"a\nkey=v\nc\n", {hitAt(2, AttentionRule::kSecretValue)}, false,
       "a\n>> " + std::string(secret) + ": key=v\nc\n"},
      // Two rules on one line, the last line without a line feed.
      {"x\ny", {hitAt(2, AttentionRule::kSecretValue), hitAt(2, AttentionRule::kRandomToken)},
       false, "x\n>> " + std::string(secret) + ", " + token + ": y\n"},
      // Escapes never reach the screen; a hit past the end marks nothing.
      {"\x1b[2Jz\r\n", {hitAt(7, AttentionRule::kSecretValue)}, true,
       "\\x1b[2Jz \n[Only the start of the file is shown here; the whole file is in the "
       "report.]\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(markedFileText(c.text, c.hits, c.truncated), c.shown);
}

TEST(ReviewText, RowsKeepTheirColumns) {
  std::string longName = "sysinfo/" + std::string(30, 'd') + "/\xc3\xa9t\xc3\xa9.log";
  struct Case {
    ReviewFile file;
    size_t attention;
    std::string row;
  } cases[] = {
      {{"etc/cv.conf", 1023, 2}, 1,
       "etc/cv.conf                            1023 B        2         1"},
      {{longName, 5 << 20, 0}, 0,
       "..." + std::string(23, 'd') + "/\xc3\xa9t\xc3\xa9.log    5.0 MiB        0         0"},
      {{"a", 1536, 0}, 3, "a                                     1.5 KiB        0         3"},
  };
  for (const Case& c : cases) EXPECT_EQ(reviewFileRow(c.file, c.attention), c.row);
  EXPECT_EQ(reviewHeadRow().find("Size") + 4, cases[0].row.find(" B") + 2);
}

}  // namespace
}  // namespace cvreport
