#include "submit/layout.h"

#include <gtest/gtest.h>

namespace cvreport {
namespace {

struct LayoutCase {
  const char* text;
  int width;
  const char* expected;
  int lines;
};

TEST(LayoutText, WrapsParagraphs) {
  const LayoutCase cases[] = {
      {"abc def", 5, "abc\ndef\n", 2},
      {"abc def", 7, "abc def\n", 1},
      {"abc    def", 7, "abc def\n", 1},
      {"abc\x01\x02\rdef", 7, "abc def\n", 1},
      {"one\n\ntwo", 10, "one\n\ntwo\n", 3},
      {"one\n", 10, "one\n", 1},
      {"", 10, "", 0},
      {"\n", 10, "\n", 1},
      {"   \n", 10, "\n", 1},
      {"abcdefghij", 4, "abcd\nefgh\nij\n", 3},
      {"abcdefghij x", 4, "abcd\nefgh\nij x\n", 3},
      {"abcd", 4, "abcd\n", 1},
      {"ab abcd", 4, "ab\nabcd\n", 2},
      {"caf\xc3\xa9 ok", 7, "caf\xc3\xa9\nok\n", 2},
      {"\t\t\t\tindented", 20, "    indented\n", 1},
      {"a b c d e f", 3, "a b\nc d\ne f\n", 3},
  };
  for (const LayoutCase& c : cases) {
    std::string out;
    EXPECT_EQ(layoutText(out, c.text, c.width), c.lines) << c.text;
    EXPECT_EQ(out, c.expected) << c.text;
  }
}

TEST(LayoutText, AppendsAndTurnsEarlierTabsIntoSpaces) {
  std::string out = "before\t";
  EXPECT_EQ(layoutText(out, "x", 10), 1);
  EXPECT_EQ(out, "before x\n");
}

TEST(LayoutText, NoLineExceedsTheWidthAndLinesAreCounted) {
  std::string text;
  for (int i = 0; i < 200; ++i) {
    text += std::string(static_cast<size_t>(i % 17 + 1), 'w') + (i % 23 ? " " : "\n");
  }
  for (int width : {1, 5, 16, 64, 74}) {
    std::string out;
    int lines = layoutText(out, text, width);
    int counted = 0;
    size_t start = 0, end;
    while ((end = out.find('\n', start)) != std::string::npos) {
      EXPECT_LE(end - start, static_cast<size_t>(width));
      start = end + 1;
      ++counted;
    }
    EXPECT_EQ(counted, lines);
  }
}

}  // namespace
}  // namespace cvreport
