// The KEY=value files: "/etc/cvreport.conf" and, for the proxy only,
// "/etc/sysconfig/cv".
#pragma once

#include <stdio.h>

#include <string>

#include "run/session.h"

namespace cvreport {

inline constexpr const char kReportConfigPath[] = "/etc/cvreport.conf";
inline constexpr const char kSystemConfigPath[] = "/etc/sysconfig/cv";

int loadKeyValueFile(const char* path, ReportConfig& map);
void loadKeyValueStream(FILE* in, ReportConfig& map);
// Parses one line of the grammar; false when the line holds no setting.
bool parseKeyValueLine(const std::string& line, std::string& key, std::string& value);

int loadReportConfig(std::string& message);
std::string configValue(const std::string& key);

int readProxySettings(std::string& proxyUrl, std::string& credentials);
int readProxySettingsFrom(const char* path, std::string& proxyUrl, std::string& credentials);
// Moves a "user-part@" after the scheme out of the URL into the credentials.
void splitProxyCredentials(std::string& proxyUrl, std::string& credentials);

}  // namespace cvreport
