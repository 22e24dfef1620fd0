#include "run/version.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "run/files.h"

namespace cvreport {
namespace {

inline constexpr const char kProductName[] = "Corvanta";

}  // namespace

int parseProductVersion(const std::string& text, std::string& version) {
  // Only the first line's worth matters; the buffer always ends in a zero.
  char buffer[80] = {};
  size_t got = text.copy(buffer, sizeof buffer - 1);
  buffer[got] = '\0';

  static const char* const kWords[] = {"Orbelin", "Nimbus", "Server"};
  int state = 0;
  char* save = nullptr;
  for (char* token = strtok_r(buffer, " \t\r\n", &save); token;
       token = strtok_r(nullptr, " \t\r\n", &save)) {
    if (state < 0) break;
    if (state < 3) {
      state = strcasecmp(token, kWords[state]) == 0 ? state + 1 : -1;
    } else if (state == 3) {
      int major, minor, patch;
      if (sscanf(token, "%d.%d.%d", &major, &minor, &patch) == 3) {
        version = token;
        state = 4;
      } else {
        state = -1;
      }
    } else {
      ++state;
    }
  }
  return state >= 0 ? 0 : -1;
}

int readProductVersionFrom(const char* path, std::string& version, std::string* message) {
  // On real hosts the release file is often a link to the distribution's
  // own, so a link is followed; what it reaches must be a regular file.
  std::string text, reason;
  FileRead read = readSettingsFile(path, true, text, &reason);
  if (read == FileRead::kMissing) {
    version = kDefaultProductVersion;
    return 0;
  }
  if (read == FileRead::kUnreadable) {
    if (message) {
      *message = std::string("Can't read version of ") + kProductName + " from " + path + ": " + reason;
    }
    return -1;
  }
  if (parseProductVersion(text, version) == 0) return 0;
  if (message) *message = std::string("Can't read version of ") + kProductName + " from " + path;
  return -1;
}

int readProductVersion(std::string& version, std::string* message) {
  return readProductVersionFrom(kReleaseFilePath, version, message);
}

}  // namespace cvreport
