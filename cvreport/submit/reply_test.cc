#include "submit/reply.h"

#include <gtest/gtest.h>

namespace cvreport {
namespace {

using Values = std::map<std::string, std::string>;

struct ReplyCase {
  const char* text;
  Values values;
  const char* message;
};

TEST(ParseServerReply, SplitsValuesAndMessage) {
  const ReplyCase cases[] = {
      {"PROGRESS=0\nPROGRESS=100\nREPID=42\n", {{"PROGRESS", "100"}, {"REPID", "42"}}, ""},
      {"REPID=42\n\nThank you.\n", {{"REPID", "42"}}, "Thank you."},
      {"\nREPID=42\nmore\n", {}, "REPID=42\nmore"},
      {"PROGRESS=5\n\nCan't connect\n", {{"PROGRESS", "5"}}, "Can't connect"},
      {"ERRCODE=17\n\nDisk full\n", {{"ERRCODE", "17"}}, "Disk full"},
      {"A=1\n \t\nline one\n\nline three", {{"A", "1"}}, "line one\n\nline three"},
      {" A = b\n", {{" A ", " b"}}, ""},
      {"A=1 \r\n", {{"A", "1"}}, ""},
      {"A=\n", {{"A", ""}}, ""},
      {"no equals\nB=x=y\n", {{"B", "x=y"}}, ""},
      {"A=1\nA=2\n", {{"A", "2"}}, ""},
      {"K=\xc3\xa9\xa0\n", {{"K", "\xc3\xa9\xa0"}}, ""},
      {"A=1\n\n", {{"A", "1"}}, ""},
      {"", {}, ""},
  };
  for (const ReplyCase& c : cases) {
    Values values;
    std::string message;
    parseServerReply(c.text, values, message);
    EXPECT_EQ(values, c.values) << c.text;
    EXPECT_EQ(message, c.message) << c.text;
  }
}

}  // namespace
}  // namespace cvreport
