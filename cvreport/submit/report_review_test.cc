#include "submit/report_review.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "scratch_dir.h"

namespace cvreport {
namespace {

// A report packed the way the collector packs it, with its checksum file.
struct PackedReport {
  cvtest::ScratchDir dir;
  std::string archive = dir.file("cvreport.tgz");
  PackedReport() {
    dir.write("files/description", "Full name: Ada Admin\n");
    dir.write("files/collector/manifest.txt", "# file\tstatus\tsource\n");
    dir.write("files/collector/skipped.txt",
              "# Items left out of this report, and why\n/etc/shadow: withheld: private file\n");
    dir.write("files/config/app.conf",
              "A=********\nB=*****\n" + std::string(70000, 'x') + "********\n");
    dir.write("files/config/notes.conf", "private note\n");
    std::string pack = "cd '" + dir.file("files") + "' && tar -czf '" + archive +
                       "' description collector config && cd .. && sha256sum cvreport.tgz"
                       " > cvreport.tgz.sha256";
    EXPECT_EQ(system(pack.c_str()), 0);
  }
};

TEST(ReportReview, ListsReadsAndExcludes) {
  PackedReport report;
  ReportContents contents;
  std::string message;
  ASSERT_EQ(listReportContents(report.archive, contents, &message), 0) << message;
  std::string listed;
  for (const ReviewFile& f : contents.files) {
    listed += f.name + ":" + std::to_string(f.size) + ":" + std::to_string(f.maskedValues) + " ";
  }
  EXPECT_EQ(listed,
            "collector/manifest.txt:21:0 collector/skipped.txt:77:0 config/app.conf:70028:2 "
            "config/notes.conf:13:0 description:21:0 ");
  EXPECT_EQ(contents.withheld, std::vector<std::string>{"/etc/shadow: withheld: private file"});

  std::string text;
  bool truncated = true;
  ASSERT_EQ(readReportFile(report.archive, "config/notes.conf", 100, text, truncated, &message), 0);
  EXPECT_EQ(text, "private note\n");
  EXPECT_FALSE(truncated);
  ASSERT_EQ(readReportFile(report.archive, "config/app.conf", 5, text, truncated, &message), 0);
  EXPECT_EQ(text, "A=***");
  EXPECT_TRUE(truncated);
  EXPECT_EQ(readReportFile(report.archive, "config/none", 5, text, truncated, &message), -1);

  ASSERT_EQ(excludeFromReport(report.archive, {"config/notes.conf"}, &message), 0) << message;
  ASSERT_EQ(listReportContents(report.archive, contents, &message), 0) << message;
  EXPECT_EQ(contents.files.size(), 4u);
  ASSERT_EQ(readReportFile(report.archive, "collector/manifest.txt", 1000, text, truncated,
                           &message), 0);
  EXPECT_EQ(text, "# file\tstatus\tsource\nconfig/notes.conf\texcluded\tby the reporter\n");
  ASSERT_EQ(readReportFile(report.archive, "config/app.conf", 100000, text, truncated, &message),
            0);
  EXPECT_EQ(text.size(), 70028u);
  std::string check = "cd '" + report.dir.path() + "' && sha256sum -c --quiet cvreport.tgz.sha256";
  EXPECT_EQ(system(check.c_str()), 0) << report.dir.read("cvreport.tgz.sha256");
  EXPECT_EQ(excludeFromReport(report.dir.file("none.tgz"), {"x"}, &message), -1);
}

}  // namespace
}  // namespace cvreport
