// The platform version named by the release file "/etc/orbelin-release".
#pragma once

#include <string>

namespace cvreport {

inline constexpr const char kReleaseFilePath[] = "/etc/orbelin-release";
inline constexpr const char kDefaultProductVersion[] = "3.0.0";

int readProductVersion(std::string& version);
int readProductVersionFrom(const char* path, std::string& version);

}  // namespace cvreport
