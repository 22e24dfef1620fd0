#include "containers/containers.h"

#include <gtest/gtest.h>

#include "core/test_writer.h"

namespace cvsysinfo {
namespace {

std::string parse_table(const std::vector<std::string>& lines) {
  TestWriter w;
  CvlistState state;
  LineParser parser{w.get(), cvlist_parser, &state};
  for (std::string line : lines) cvlist_parser(&parser, &line[0]);
  return w.text();
}

TEST(Cvlist, HeaderAndCells) {
  EXPECT_EQ(parse_table({"junk before the header",
                        "      CTID      NPROC STATUS    LAYOUT",
                        "       101         12 running   5",
                        "       102          - stopped   -",
                        "",
                        "       103"}),
            "<CT><CTID>101</CTID><NPROC>12</NPROC><STATUS>running</STATUS><LAYOUT>5</LAYOUT></CT>"
            "<CT><CTID>102</CTID><NPROC></NPROC><STATUS>stopped</STATUS><LAYOUT></LAYOUT></CT>"
            "<CT><CTID>103</CTID></CT>");
  // VEID is taken as CTID; hidden columns are never written; header words
  // become element names.
  EXPECT_EQ(parse_table({"VEID  HOSTNAME  IP_ADDR   %CPU",
                        "200   web.local 10.0.0.1  3.5"}),
            "<CT><CTID>200</CTID><_CPU>3.5</_CPU></CT>");
  EXPECT_EQ(parse_table({"nothing but noise", "101 x"}), "");
}

TEST(DfParsers, SixFieldsOnly) {
  TestWriter w;
  LineParser inodes{w.get(), df_inodes_parser, nullptr};
  LineParser space{w.get(), df_space_parser, nullptr};
  // A wrapped line: the name alone gives nothing; the indented rest has an
  // empty first field and so six fields.
  std::string lines[] = {"Filesystem 1024-blocks Used Available Capacity Mounted on",
                         "/dev/hdimg1 1000 400 600 40% /var/lib/cv/root/101",
                         "/dev/a-very-long-device-name-that-wrapped",
                         " 3000 100 2900 4% /",
                         "/dev/x 1 2 3 4%"};
  for (std::string& line : lines) df_inodes_parser(&inodes, &line[0]);
  std::string line = "/dev/hdimg1    2000   500   1500   25%   /var/lib/cv/root/101";
  df_space_parser(&space, &line[0]);
  EXPECT_EQ(w.text(),
            "<Inodes><Count>1000</Count><IUsed>400</IUsed><IFree>600</IFree></Inodes>"
            "<Inodes><Count>3000</Count><IUsed>100</IUsed><IFree>2900</IFree></Inodes>"
            "<DiskSpace><Size>2000</Size><Used>500</Used><Avail>1500</Avail></DiskSpace>");
}

}  // namespace
}  // namespace cvsysinfo
