#include "core/xml_safe.h"

#include <gtest/gtest.h>

namespace cvsysinfo {
namespace {

TEST(XmlSafeText, ReplacesWhatXmlCannotHold) {
  struct {
    std::string in, out;
  } cases[] = {
      {"plain text", "plain text"},
      {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"bell\x07", "bell\xef\xbf\xbd"},
      {std::string("nul\0x", 5), "nul\xef\xbf\xbdx"},
      {"bad\xff\xfe", "bad\xef\xbf\xbd\xef\xbf\xbd"},
      {"cut\xc3", "cut\xef\xbf\xbd"},
      {"overlong\xc0\xaf", "overlong\xef\xbf\xbd\xef\xbf\xbd"},
      {"surrogate\xed\xa0\x80", "surrogate\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
      {"nonchar\xef\xbf\xbe", "nonchar\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (auto& c : cases) {
    std::string mended;
    EXPECT_EQ(mend_xml_text(c.in.data(), c.in.size(), mended) ? mended : c.in, c.out) << c.in;
  }
}

TEST(XmlSafeName, MendsOnlyInvalidNames) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"CTID", "CTID"}, {"_x", "_x"}, {"caf\xc3\xa9", "caf\xc3\xa9"}, {"1ST", "_1ST"},
      {"", "_"},        {"-x", "_-x"}, {"a b", "a_b"}, {"\xff", "___"}, {"md:key", "md_key"},
      // Bytes that are not UTF-8 but that libxml2 reads as Latin-1 letters.
      {"uu\xc2" "A", "uu___A"}, {"caf\xe9", "caf___"},
  };
  for (auto& c : cases) EXPECT_EQ(xml_safe_name(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace cvsysinfo
