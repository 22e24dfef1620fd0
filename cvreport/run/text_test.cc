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

TEST(PrintableText, ShowsControlsEscapedAndKeepsUtf8) {
  const struct {
    std::string in;
    LineBreaks breaks;
    std::string out;
  } cases[] = {
      {"REPID=770042", LineBreaks::kSpace, "REPID=770042"},
      {"Ren\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa6", LineBreaks::kSpace,
       "Ren\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa6"},
      // A terminal title, a screen clear, a bell.
      {"\x1b]0;owned\x07", LineBreaks::kKeep, "\\x1b]0;owned\\x07"},
      {"a\x1b[2Jb", LineBreaks::kKeep, "a\\x1b[2Jb"},
      // A carriage return that would draw over the line.
      {"770042\rProblemID: 1", LineBreaks::kKeep, "770042\\x0dProblemID: 1"},
      {"770042\rProblemID: 1", LineBreaks::kSpace, "770042 ProblemID: 1"},
      {"one\r\ntwo\n", LineBreaks::kKeep, "one\ntwo\n"},
      {"one\r\ntwo\n", LineBreaks::kSpace, "one  two "},
      {"a\tb\bc\x7f", LineBreaks::kKeep, "a b\\x08c\\x7f"},
      {std::string("a\0b", 3), LineBreaks::kKeep, "a\\x00b"},
      // C1 controls (the one-byte CSI among them) in their UTF-8 form.
      {"\xc2\x9b" "2J", LineBreaks::kKeep, "\\xc2\\x9b2J"},
      {"\xc2\xa0", LineBreaks::kKeep, "\xc2\xa0"},
      // Bytes that are not UTF-8: a lone C1 byte, a cut sequence, an
      // overlong form, a surrogate.
      {"\x9b" "2J", LineBreaks::kKeep, "\\x9b2J"},
      {"caf\xc3", LineBreaks::kKeep, "caf\\xc3"},
      {"\xc0\xaf", LineBreaks::kKeep, "\\xc0\\xaf"},
      {"\xed\xa0\x80", LineBreaks::kKeep, "\\xed\\xa0\\x80"},
      {"\xf4\x90\x80\x80", LineBreaks::kKeep, "\\xf4\\x90\\x80\\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printableText(c.in, c.breaks), c.out) << "[" << c.in << "]";
  }
}

}  // namespace
}  // namespace cvreport
