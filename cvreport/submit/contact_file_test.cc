#include "submit/contact_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "scratch_dir.h"

namespace cvreport {
namespace {

class ContactFile : public ::testing::Test {
 protected:
  std::string read() {
    std::ifstream in(dir_ + "/description");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  cvtest::ScratchDir scratch_;
  const std::string& dir_ = scratch_.path();
};

TEST_F(ContactFile, HoldsTheFiveLinesWithTheDescriptionAsTyped) {
  ContactInfo contact{"Ada Admin", "Example Hosting", "ada@example.net", "Stops",
                      "line one\nline two %s %n"};
  ASSERT_EQ(writeContactFile(dir_, contact, kWizardContactLabels), 0);
  EXPECT_EQ(read(),
            "Full name: Ada Admin\nCompany: Example Hosting\nE-mail: ada@example.net\n"
            "Subject: Stops\nIssue: line one\nline two %s %n\n");
}

TEST_F(ContactFile, TheConsoleLinesUpItsValues) {
  ASSERT_EQ(writeContactFile(dir_, {"A", "B", "c@d", "E", "F"}, kConsoleContactLabels), 0);
  EXPECT_EQ(read(), "Full name: A\nCompany:   B\nE-mail:    c@d\nSubject:   E\nIssue: F\n");
}

TEST_F(ContactFile, IsRewrittenFromScratch) {
  ASSERT_EQ(writeContactFile(dir_, {"A", "B", "c@d", "E", std::string(500, 'x')}, kWizardContactLabels), 0);
  ASSERT_EQ(writeContactFile(dir_, {"A", "B", "c@d", "E", "short"}, kWizardContactLabels), 0);
  EXPECT_EQ(read(), "Full name: A\nCompany: B\nE-mail: c@d\nSubject: E\nIssue: short\n");
}

TEST_F(ContactFile, MissingDirectoryFails) {
  EXPECT_EQ(writeContactFile(dir_ + "/absent", {"A", "B", "c@d", "E", "F"}, kWizardContactLabels), -1);
}

TEST_F(ContactFile, AFileCutShortFails) {
  // A file size limit stands in for a full disk.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int result = writeContactFile(dir_, {"Ada Admin", "B", "c@d", "E", std::string(9000, 'x')}, kWizardContactLabels);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(result, -1);
}

}  // namespace
}  // namespace cvreport
