// The KEY=value files: "/etc/cvreport.conf" and, for the proxy only,
// "/etc/sysconfig/cv".
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "run/session.h"

namespace cvreport {

inline constexpr const char kReportConfigPath[] = "/etc/cvreport.conf";
inline constexpr const char kSystemConfigPath[] = "/etc/sysconfig/cv";

// The longest line of such a file, its line feed included, that is read.
inline constexpr size_t kMaxConfigLine = 4095;

// Replaces map with the file's settings; -1 (map empty) when the file cannot
// be read: message stays empty when it is missing (the caller decides
// whether that matters), and otherwise says why (not a regular file, over
// 1 MiB, ...). A line over kMaxConfigLine is not used, and a sentence in
// warnings (when given) says so. A UTF-8 byte-order mark at the start is
// skipped. Silent.
int loadKeyValueFile(const char* path, ReportConfig& map, std::string* message = nullptr,
                     std::vector<std::string>* warnings = nullptr);
// Parses one line of the grammar; false when the line holds no setting.
bool parseKeyValueLine(const std::string& line, std::string& key, std::string& value);

// Loads the report configuration into config and takes the collector path
// from it; -1 with the reason in message; lines not used are named in
// warnings. Prints and logs nothing.
int loadReportConfig(ReportConfig& config, std::string& collectorPath, std::string* message,
                     std::vector<std::string>* warnings);
// The value of key, empty when the key is not set.
std::string configValue(const ReportConfig& config, const std::string& key);

enum class ProxyLookup { kFound, kNoFile, kNoProxy, kUnreadable };

// The host-wide proxy with its credentials moved out of the URL; both empty
// unless kFound. Silent: having no proxy is no error; kUnreadable (a FIFO, a
// device, a file over 1 MiB) puts the reason in message.
ProxyLookup readProxySettings(std::string& proxyUrl, std::string& credentials);
ProxyLookup readProxySettingsFrom(const char* path, std::string& proxyUrl,
                                  std::string& credentials, std::string* message = nullptr);

// Root uploads to SUBMIT_URI through the proxy: anything but an http or
// https address (file:, ftp:, ...) would have libcurl read or send what
// it names. True when libcurl parses url whole, with a host, as http or https.
bool isServiceUrl(const std::string& url);
// A proxy may also go without a scheme (libcurl takes it as http), and be a
// socks proxy, which only changes how the connection is made.
bool isProxyUrl(const std::string& url);
// Checks SUBMIT_URI and the proxy the upload will use (HTTP_PROXY, else the
// host-wide one); -1 with the sentence for the user in message. Silent.
int checkReportUrls(const ReportConfig& config, std::string* message);
int checkReportUrlsWith(const ReportConfig& config, const char* systemConfigPath,
                        std::string* message);
// SUBMIT_MAX_SIZE: bytes, with an optional K, M or G suffix in binary units;
// 0 when unset. -1 with the sentence for the user in message when the
// value is anything else or does not fit. Silent.
int readArchiveSizeLimit(const ReportConfig& config, unsigned long long& limit,
                         std::string* message);
// Moves a "user-part@" after the scheme out of the URL into the credentials.
void splitProxyCredentials(std::string& proxyUrl, std::string& credentials);

}  // namespace cvreport
