// The release-file reader: "/etc/orbelin-release" as any bytes.
#include <stdio.h>
#include <string.h>

#include <string>

#include "harness.h"
#include "run/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemFile file;
  std::string text(reinterpret_cast<const char*>(data), size);
  const std::string untouched = "(as passed)";
  std::string version = untouched;
  std::string message;
  int result = cvreport::readProductVersionFrom(file.hold(text), version, &message);
  if (result != 0 && result != -1) fuzz::fail("result neither 0 nor -1");
  if ((result != 0) != !message.empty()) fuzz::fail("a message without a failure, or the reverse", message);
  if (version == untouched) return 0;
  if (result != 0) fuzz::fail("a version was taken from a release text that failed", version);
  // Only the first 79 bytes are read, and the version is one token of them.
  if (version.empty() || version.size() > 79) fuzz::fail("version of impossible length", version);
  if (version.find_first_of(" \t\r\n") != std::string::npos) fuzz::fail("version is not one token", version);
  if (text.find(version) == std::string::npos) fuzz::fail("version not taken from the text", version);
  int major, minor, patch;
  if (sscanf(version.c_str(), "%d.%d.%d", &major, &minor, &patch) != 3) {
    fuzz::fail("version is not a dotted triple", version);
  }
  return 0;
}
