// The KEY=value files: "/etc/cvreport.conf" and, for the proxy only,
// "/etc/sysconfig/cv".
#pragma once

#include <stdio.h>

#include <string>

#include "run/session.h"

namespace cvreport {

inline constexpr const char kReportConfigPath[] = "/etc/cvreport.conf";
inline constexpr const char kSystemConfigPath[] = "/etc/sysconfig/cv";

// Replaces map with the file's settings; -1 (map empty) when the file cannot
// be opened. Silent: the caller decides whether a missing file matters.
int loadKeyValueFile(const char* path, ReportConfig& map);
// Adds the stream's settings to map; reading stops quietly at an error.
void loadKeyValueStream(FILE* in, ReportConfig& map);
// Parses one line of the grammar; false when the line holds no setting.
bool parseKeyValueLine(const std::string& line, std::string& key, std::string& value);

// Loads the report configuration into config and takes the collector path
// from it; -1 with the reason in message. Prints and logs nothing.
int loadReportConfig(ReportConfig& config, std::string& collectorPath, std::string* message);
// The value of key, empty when the key is not set.
std::string configValue(const ReportConfig& config, const std::string& key);

enum class ProxyLookup { kFound, kNoFile, kNoProxy };

// The host-wide proxy with its credentials moved out of the URL; both empty
// unless kFound. Silent: having no proxy is no error.
ProxyLookup readProxySettings(std::string& proxyUrl, std::string& credentials);
ProxyLookup readProxySettingsFrom(const char* path, std::string& proxyUrl,
                                  std::string& credentials);
// Moves a "user-part@" after the scheme out of the URL into the credentials.
void splitProxyCredentials(std::string& proxyUrl, std::string& credentials);

}  // namespace cvreport
