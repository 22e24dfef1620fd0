#include "wizard/contact.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

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

TEST(IsValidEmail, FollowsTheAddressRule) {
  const struct {
    const char* address;
    bool valid;
  } cases[] = {
      {"ada@example.net", true},
      {"ada@localhost", true},
      {"a.b.c@d-e.f", true},
      {"_ada_@example.net", true},
      {"ada-x@example.net", true},
      {"1@2", true},
      {"ada@ex-am-ple.net", true},
      {"ada@@example.net", false},
      {"ada@ex@ample.net", false},
      {"@example.net", false},
      {"ada@", false},
      {"ada", false},
      {"", false},
      {"ada@example.net.", false},
      {"ada.@example.net", false},
      {"a..b@example.net", false},
      {".ada@example.net", false},
      {"-ada@example.net", false},
      {"ada-@example.net", false},
      {"ada+tag@example.net", false},
      {"ada@exa_mple.net", false},
      {"ada@-example.net", false},
      {"ada@example-.net", false},
      {"ada@example..net", false},
      {"ada@.example.net", false},
      {"a da@example.net", false},
      {"ada@_example.net", false},
      {"Ren\xc3\xa9@example.net", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isValidEmail(c.address), c.valid) << c.address;
  }
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
    EXPECT_EQ(contact.fullName, c.trimmed.fullName);
    EXPECT_EQ(contact.company, c.trimmed.company);
    EXPECT_EQ(contact.email, c.trimmed.email);
    EXPECT_EQ(contact.subject, c.trimmed.subject);
    EXPECT_EQ(contact.description, c.trimmed.description);
  }
}

class ContactFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/cvreport-contact-test.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override {
    unlink((dir_ + "/description").c_str());
    rmdir(dir_.c_str());
  }
  std::string read() {
    std::ifstream in(dir_ + "/description");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string dir_;
};

TEST_F(ContactFile, HoldsTheFiveLinesWithTheDescriptionAsTyped) {
  ContactInfo contact{"Ada Admin", "Example Hosting", "ada@example.net", "Stops",
                      "line one\nline two %s %n"};
  ASSERT_EQ(writeContactFile(dir_, contact), 0);
  EXPECT_EQ(read(),
            "Full name: Ada Admin\nCompany: Example Hosting\nE-mail: ada@example.net\n"
            "Subject: Stops\nIssue: line one\nline two %s %n\n");
}

TEST_F(ContactFile, IsRewrittenFromScratch) {
  ASSERT_EQ(writeContactFile(dir_, {"A", "B", "c@d", "E", std::string(500, 'x')}), 0);
  ASSERT_EQ(writeContactFile(dir_, {"A", "B", "c@d", "E", "short"}), 0);
  EXPECT_EQ(read(), "Full name: A\nCompany: B\nE-mail: c@d\nSubject: E\nIssue: short\n");
}

TEST_F(ContactFile, MissingDirectoryFails) {
  EXPECT_EQ(writeContactFile(dir_ + "/absent", {"A", "B", "c@d", "E", "F"}), -1);
}

TEST_F(ContactFile, AFileCutShortFails) {
  // A file size limit stands in for a full disk.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int result = writeContactFile(dir_, {"Ada Admin", "B", "c@d", "E", std::string(9000, 'x')});
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(result, -1);
}

}  // namespace
}  // namespace cvreport
