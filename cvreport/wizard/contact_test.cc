#include "wizard/contact.h"

#include <gtest/gtest.h>

#include <string>

namespace cvreport {
namespace {

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

}  // namespace
}  // namespace cvreport
