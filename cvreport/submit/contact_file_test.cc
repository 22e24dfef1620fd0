#include "submit/contact_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <tuple>

#include "scratch_dir.h"

namespace cvreport {
namespace {

auto fields(const ContactInfo& c) {
  return std::tie(c.fullName, c.company, c.email, c.subject, c.description);
}

class ContactFile : public ::testing::Test {
 protected:
  std::string read() { return scratch_.read("description"); }
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

TEST(TrimAndListMissing, ListsEmptyFieldsInPageOrderAfterTrimming) {
  const struct {
    ContactInfo in;
    std::string missing;
    ContactInfo trimmed;
  } cases[] = {
      {{" Ada ", "\tCo\t", " a@b ", " S ", " d "}, "", {"Ada", "Co", "a@b", "S", " d "}},
      {{"", "Co", "a@b", "", ""}, "\n Full Name:\n Subject:", {"", "Co", "a@b", "", ""}},
      {{"   ", " ", "\n", "\t", ""},
       "\n Full Name:\n Company:\n E-mail:\n Subject:",
       {"", "", "", "", ""}},
      {{"Ada", "", "a@b", "S", ""}, "\n Company:", {"Ada", "", "a@b", "S", ""}},
  };
  for (const auto& c : cases) {
    ContactInfo contact = c.in;
    EXPECT_EQ(trimAndListMissing(contact), c.missing);
    EXPECT_EQ(fields(contact), fields(c.trimmed)) << c.missing;
  }
}

TEST(ParseContactFile, ReadsBackWhatEitherFrontEndWrote) {
  cvtest::ScratchDir scratch;
  const struct {
    ContactInfo contact;
    const ContactFileLabels* labels;
  } cases[] = {
      {{"Ada Admin", "Example Hosting", "ada@example.net", "Stops", "one\ntwo\n\n"},
       &kConsoleContactLabels},
      {{"Ada", "  Co", "a@b", "S", "Company: not a label here"}, &kConsoleContactLabels},
      {{"Ada", "Co", "a@b", "S", "Issue: \nE-mail: x"}, &kWizardContactLabels},
      {{"", "", "", "", ""}, &kWizardContactLabels},
      {{"", "", "", "", ""}, &kConsoleContactLabels},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(writeContactFile(scratch.path(), c.contact, *c.labels), 0);
    std::string text = scratch.read("description");
    ContactInfo parsed;
    EXPECT_EQ(parseContactFile(text, parsed), 0) << text;
    EXPECT_EQ(fields(parsed), fields(c.contact)) << text;
  }
  for (const char* text : {"", "Name: Ada\n", "Full name: Ada\nCompany: Co\nIssue: x\n"}) {
    ContactInfo parsed{"x", "x", "x", "x", "x"};
    EXPECT_EQ(parseContactFile(text, parsed), -1) << text;
    EXPECT_EQ(parsed.fullName + parsed.description, "") << text;
  }
}

}  // namespace
}  // namespace cvreport
