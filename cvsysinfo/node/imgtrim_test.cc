#include "node/imgtrim.h"

#include <gtest/gtest.h>

#include "core/test_writer.h"
#include "scratch_dir.h"

namespace cvsysinfo {
namespace {

TEST(Imgtrim, StatsLines) {
  struct {
    std::string line;
    std::string xml;
  } cases[] = {
      {"Stats", "<Stats/>"},
      {"2024-01-01 Stats: a=1 b_2=x/y c=3%", "<Stats a=\"1\" b_2=\"x/y\" c=\"3%\"/>"},
      {"ct=101 before Stats after=<&>", "<Stats ct=\"101\" after=\"&lt;&amp;&gt;\"/>"},
      {"Stats k= =v a==b", "<Stats a=\"=b\"/>"},
      {"Stats n=1 n=2 9x=3 _9x=4", "<Stats n=\"1\" _9x=\"3\"/>"},
  };
  for (auto& c : cases) {
    TestWriter w;
    add_imgtrim_stat_line(w.get(), c.line.c_str());
    EXPECT_EQ(w.text(), c.xml) << c.line;
  }
}

TEST(Imgtrim, LogLinesWithStatsOnly) {
  cvtest::ScratchDir dir;
  std::string log = dir.write_lines("imgtrim.log", {"started x=1", "Stats: ct=101 freed=12M",
                                                   "stats: lower=1", "done Stats: ct=102 freed=0"});
  TestWriter w;
  add_imgtrim_info(w.get(), log.c_str());
  add_imgtrim_info(w.get(), dir.file("absent").c_str());
  EXPECT_EQ(w.text(), "<imgtrim><Stats ct=\"101\" freed=\"12M\"/><Stats ct=\"102\" freed=\"0\"/>"
                      "</imgtrim><imgtrim/>");
}

}  // namespace
}  // namespace cvsysinfo
