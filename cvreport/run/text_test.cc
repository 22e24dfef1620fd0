#include "run/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvreport {
namespace {

TEST(TrimBlank, DropsControlBytesAndSpacesAtBothEnds) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"   ", ""},
      {" \t\r\n\x01\x1f ", ""},
      {"  Ada Admin  ", "Ada Admin"},
      {"Ada  Admin", "Ada  Admin"},
      {"\tx\n", "x"},
      {std::string("\0a\0", 3), "a"},
      {"Ren\xc3\xa9", "Ren\xc3\xa9"},
      {" Ren\xc3\xa9\xa0 ", "Ren\xc3\xa9\xa0"},
      {"\x7f", "\x7f"},
  };
  for (const auto& c : cases) {
    std::string value = c.in;
    size_t length = trimBlank(value);
    EXPECT_EQ(value, c.out) << "[" << c.in << "]";
    EXPECT_EQ(length, c.out.size());
  }
}

TEST(SplitAt, GivesOnePieceMoreThanSeparators) {
  EXPECT_EQ(splitAt("", '.'), std::vector<std::string>{""});
  EXPECT_EQ(splitAt("a.b..c", '.'), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(splitAt(".a.", '.'), (std::vector<std::string>{"", "a", ""}));
}

}  // namespace
}  // namespace cvreport
