#include "wizard/contact.h"

#include <gtest/gtest.h>

#include <string>

namespace cvreport {
namespace {

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

}  // namespace
}  // namespace cvreport
