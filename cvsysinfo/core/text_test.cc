#include "core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvsysinfo {
namespace {

TEST(Text, FieldsTrimAndIndent) {
  // A blank at either end gives an empty first or last field; a run of
  // blanks is one separator.
  EXPECT_EQ(split_fields(" a  b ").size(), 4u);
  EXPECT_EQ(split_fields("a\tb \v c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(split_fields(""), (std::vector<std::string>{""}));
  EXPECT_EQ(trim(" \t\r\nroot/101 \n"), "root/101");
  EXPECT_EQ(trim(" \t "), "");
  EXPECT_EQ(trim("a b"), "a b");
  char indented[] = " \t\vx";
  EXPECT_STREQ(skip_indent(indented), "\vx");
  EXPECT_TRUE(is_blank('\f'));
  EXPECT_FALSE(is_blank('\xa0'));
  // Nothing a terminal acts on passes: escapes, CR, DEL, C1, broken UTF-8.
  EXPECT_EQ(printable_line("a\x1b]0;x\x07" "b\tc\r\nd\x7f"), "a\xef\xbf\xbd]0;x\xef\xbf\xbd" "b c  d?");
  EXPECT_EQ(printable_line("\xc2\x9b" "31m \xc3\xa9 \xff"), "?31m \xc3\xa9 \xef\xbf\xbd");
}

}  // namespace
}  // namespace cvsysinfo
