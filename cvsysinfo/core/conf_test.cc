#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "core/conf.h"
#include "core/test_writer.h"

namespace cvsysinfo {
namespace {

TEST(ConfValue, UnquotesAsTheShellWould) {
  struct {
    std::string in, out;
  } cases[] = {
      {"plain\n", "plain"},
      {"\"double quoted\"\n", "double quoted"},
      {"'it\\'s'\n", "it's"},
      {"'\"mixed\"'\n", "mixed\""},
      {"'a\\\\b'\r\n", "a\\b"},
      {"'ends with\\", "ends with"},
      {"\"\"\n", ""},
      {"no\"quote\"\n", "no\"quote\""},
      {"\"x\\y\"\n", "x\\y"},
  };
  for (auto& c : cases) {
    std::string value = c.in;
    unquote_conf_value(&value[0]);
    EXPECT_EQ(std::string(value.c_str()), c.out) << c.in;
  }
}

TEST(ConfValue, MaskingKeepsOnlyTheShape) {
  struct {
    std::string in, out;
  } cases[] = {{"a;b;;c", ".;.;;."}, {"", ""}, {"host", "."}, {";x;", ";.;"}};
  for (auto& c : cases) {
    std::string value = c.in;
    mask_conf_value(&value[0]);
    EXPECT_EQ(std::string(value.c_str()), c.out) << c.in;
  }
  EXPECT_TRUE(is_masked_conf_key("hostname"));
  EXPECT_TRUE(is_masked_conf_key("CLUSTERIP"));
  EXPECT_FALSE(is_masked_conf_key("HOST"));
}

std::string conf_document(const std::string& content) {
  char name[] = "/tmp/cvconf_test.XXXXXX";
  int fd = mkstemp(name);
  close(fd);
  std::ofstream(name) << content;
  TestWriter w;
  add_conf(w.get(), name);
  unlink(name);
  return w.text();
}

TEST(AddConf, GroupsKeysMasksAndSkips) {
  EXPECT_EQ(conf_document("A.B=1\nA.C=2\nD=3\n"), "<CONF><A><B>1</B><C>2</C></A><D>3</D></CONF>");
  EXPECT_EQ(conf_document("HOSTNAME=\"web01\"\n  # NOTE=x\nno equals\nIP_ADDRESS=10.0.0.1\nIP=\"1.2.3.4 5.6.7.8;9\"\n"),
            "<CONF><HOSTNAME>.</HOSTNAME><IP_ADDRESS>10.0.0.1</IP_ADDRESS><IP>.;.</IP></CONF>");
  EXPECT_EQ(conf_document("X.A=1\nY.B=2\nX.C=3\n"),
            "<CONF><X><A>1</A></X><Y><B>2</B></Y><X><C>3</C></X></CONF>");
  // Blanks before "=" stay in the key; names XML cannot use are mended.
  EXPECT_EQ(conf_document("KEY =v\n1ST=first\nca.f\xc3\xa9=u\n"),
            "<CONF><KEY_>v</KEY_><_1ST>first</_1ST><ca><f__>u</f__></ca></CONF>");
  EXPECT_EQ(conf_document(""), "<CONF/>");
  EXPECT_EQ(conf_document("LAST=no line end"), "<CONF><LAST>no line end</LAST></CONF>");
  TestWriter w;
  add_conf(w.get(), "/nonexistent/cv.conf");
  EXPECT_EQ(w.text(), "");
}

TEST(AddConf, LongLinesNeverInventKeys) {
  std::string long_value(5000, 'v');
  std::string at_limit(kMaxConfLine - 4, 'w');
  struct {
    std::string content, document;
  } cases[] = {
      // Longer than any buffer of a few kilobytes: one key, whole.
      {"A=" + long_value + "=B=1\nC=2\n", "<CONF><A>" + long_value + "=B=1</A><C>2</C></CONF>"},
      {"G.A=" + long_value + ".X=1\n", "<CONF><G><A>" + long_value + ".X=1</A></G></CONF>"},
      // Past the limit: cut there, the rest of the line dropped.
      {"BIG=" + at_limit + "=tail\nN=1\n", "<CONF><BIG>" + at_limit + "</BIG><N>1</N></CONF>"},
      {"BIG=" + at_limit + "\nN=1\n", "<CONF><BIG>" + at_limit + "</BIG><N>1</N></CONF>"},
  };
  for (auto& c : cases) EXPECT_EQ(conf_document(c.content), c.document) << c.content.substr(0, 40);
}

}  // namespace
}  // namespace cvsysinfo
