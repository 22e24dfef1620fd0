// The platform version named by the release file "/etc/orbelin-release".
#pragma once

#include <string>

namespace cvreport {

inline constexpr const char kReleaseFilePath[] = "/etc/orbelin-release";
inline constexpr const char kDefaultProductVersion[] = "3.0.0";

// The version from the release file, or kDefaultProductVersion when there
// is none; -1 when the file names no readable version, with the sentence for
// the user in message (when given). Prints and logs nothing.
int readProductVersion(std::string& version, std::string* message);
// The version named by a release file's text (its first 79 bytes count);
// -1 when the text is not a release line. A line that ends before the
// version leaves version as it was.
int parseProductVersion(const std::string& text, std::string& version);
int readProductVersionFrom(const char* path, std::string& version,
                           std::string* message = nullptr);

}  // namespace cvreport
