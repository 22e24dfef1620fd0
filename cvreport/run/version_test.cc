#include "run/version.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace cvreport {
namespace {

struct VersionCase {
  std::string content;
  int result;
  const char* version;  // what the reader leaves in a string preset to "unset"
};

std::string writeRelease(const std::string& content) {
  char name[] = "/tmp/cvrelease_test.XXXXXX";
  int fd = mkstemp(name);
  EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  close(fd);
  return name;
}

TEST(ProductVersion, ReadsTheReleaseLine) {
  const VersionCase cases[] = {
      {"orbelin NIMBUS server 6.0.0 (build 123)\n", 0, "6.0.0"},
      {"Orbelin Nimbus Server 6.0.1-42 final\n", 0, "6.0.1-42"},
      {"Orbelin\tNimbus\r\nServer 7.1.2", 0, "7.1.2"},
      {"Orbelin Nimbus Server 6.0\n", -1, "unset"},
      {"Orbelin Server 6.0.0\n", -1, "unset"},
      {"Other Nimbus Server 6.0.0\n", -1, "unset"},
      {"", 0, "unset"},
      {"Orbelin Nimbus Server\n", 0, "unset"},
      // Only 79 bytes are read: a version past them is missing, or cut short.
      {"Orbelin Nimbus Server" + std::string(70, ' ') + "6.0.0\n", 0, "unset"},
      {"Orbelin Nimbus Server" + std::string(55, ' ') + "6.0.0\n", -1, "unset"},
  };
  for (const VersionCase& c : cases) {
    std::string path = writeRelease(c.content);
    std::string version = "unset";
    std::string message;
    EXPECT_EQ(readProductVersionFrom(path.c_str(), version, &message), c.result) << c.content;
    EXPECT_EQ(version, c.version) << c.content;
    // The caller shows the reason; the reader itself says nothing.
    EXPECT_EQ(message, c.result == 0 ? "" : "Can't read version of Corvanta from " + path)
        << c.content;
    unlink(path.c_str());
  }
}

TEST(ProductVersion, MissingFileGivesTheDefault) {
  std::string version;
  EXPECT_EQ(readProductVersionFrom("/nonexistent/orbelin-release", version), 0);
  EXPECT_EQ(version, "3.0.0");
}

}  // namespace
}  // namespace cvreport
