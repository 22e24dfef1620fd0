#include "run/config.h"

#include <curl/curl.h>
#include <ctype.h>
#include <string.h>

#include <memory>

#include "run/files.h"
#include "run/text.h"

namespace cvreport {
namespace {

constexpr char kByteOrderMark[] = "\xef\xbb\xbf";

struct UrlHandleFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// The scheme of url, lower case, when libcurl's URL parser takes it whole
// and finds a host in it; empty otherwise.
std::string parsedScheme(const std::string& url) {
  std::unique_ptr<CURLU, UrlHandleFree> handle(curl_url());
  if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) return "";
  char* host = nullptr;
  if (curl_url_get(handle.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) return "";
  bool hasHost = host && *host;
  curl_free(host);
  char* scheme = nullptr;
  if (!hasHost || curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return "";
  std::string text = scheme ? scheme : "";
  curl_free(scheme);
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// The URL as a message may show it: without credentials, one line.
std::string shownUrl(const std::string& url) {
  std::string shown = url, credentials;
  splitProxyCredentials(shown, credentials);
  return printableText(shown, LineBreaks::kSpace);
}

}  // namespace

bool isServiceUrl(const std::string& url) {
  std::string scheme = parsedScheme(url);
  return scheme == "http" || scheme == "https";
}

bool isProxyUrl(const std::string& url) {
  // libcurl takes a proxy without a scheme as an HTTP proxy.
  if (url.find("://") == std::string::npos) return parsedScheme("http://" + url) == "http";
  std::string scheme = parsedScheme(url);
  return scheme == "http" || scheme == "https" || scheme == "socks4" || scheme == "socks4a" ||
         scheme == "socks5" || scheme == "socks5h";
}

int checkReportUrlsWith(const ReportConfig& config, const char* systemConfigPath,
                        std::string* message) {
  std::string uri = configValue(config, "SUBMIT_URI");
  if (!isServiceUrl(uri)) {
    *message = "SUBMIT_URI must be an http or https URL: " + shownUrl(uri);
    return -1;
  }
  std::string proxy = configValue(config, "HTTP_PROXY");
  if (!proxy.empty()) {
    if (isProxyUrl(proxy)) return 0;
    *message = "HTTP_PROXY must be an http, https or socks proxy URL: " + shownUrl(proxy);
    return -1;
  }
  // The upload falls back to the host-wide proxy, so it is checked as well.
  std::string credentials, reason;
  switch (readProxySettingsFrom(systemConfigPath, proxy, credentials, &reason)) {
    case ProxyLookup::kUnreadable:
      *message = reason;
      return -1;
    case ProxyLookup::kFound:
      if (proxy.empty() || isProxyUrl(proxy)) return 0;
      *message = std::string("HTTP_PROXY in ") + systemConfigPath +
                 " must be an http, https or socks proxy URL: " + shownUrl(proxy);
      return -1;
    case ProxyLookup::kNoFile:
    case ProxyLookup::kNoProxy:
      break;
  }
  return 0;
}

int checkReportUrls(const ReportConfig& config, std::string* message) {
  return checkReportUrlsWith(config, kSystemConfigPath, message);
}

bool parseKeyValueLine(const std::string& line, std::string& key, std::string& value) {
  size_t start = 0;
  while (start < line.size() && isBlankByte(line[start])) ++start;
  if (start == line.size() || line[start] == '#') return false;
  size_t eq = line.find('=', start);
  if (eq == std::string::npos || eq == start) return false;

  key.assign(line, start, eq - start);
  trimBlank(key);
  value.assign(line, eq + 1, std::string::npos);
  trimBlank(value);

  // Only a value that opens with a quote loses a closing one.
  if (!value.empty() && value.front() == '"') {
    value.erase(0, 1);
    if (!value.empty() && value.back() == '"') value.pop_back();
  }
  return true;
}

namespace {

// The settings in text, line by line; a line over kMaxConfigLine bytes is
// dropped whole, so that no part of it is taken for a setting of its own.
void loadKeyValueText(const std::string& text, const char* path, ReportConfig& map,
                      std::vector<std::string>* warnings) {
  // Editors that save UTF-8 with a byte-order mark put it before the first
  // key, which would otherwise not be found under its name.
  size_t start = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  std::string key, value;
  for (size_t number = 1; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    std::string line(text, start, next - start);
    start = next;
    if (line.size() > kMaxConfigLine) {
      if (warnings) {
        warnings->push_back("Line " + std::to_string(number) + " of " + path + " is longer than " +
                            std::to_string(kMaxConfigLine) + " bytes: it is not used");
      }
      continue;
    }
    // The line ends at a zero byte, as it always has.
    line.resize(strlen(line.c_str()));
    if (parseKeyValueLine(line, key, value)) map[key] = value;
  }
}

}  // namespace

int loadKeyValueFile(const char* path, ReportConfig& map, std::string* message,
                     std::vector<std::string>* warnings) {
  map.clear();
  std::string text, reason;
  // Both files are the administrator's: a link to one is followed (the
  // owner check at the start looks at both ends of it).
  FileRead read = readSettingsFile(path, true, text, &reason);
  if (read != FileRead::kRead) {
    if (read == FileRead::kUnreadable && message) *message = reason;
    return -1;
  }
  loadKeyValueText(text, path, map, warnings);
  return 0;
}

int loadReportConfig(ReportConfig& config, std::string& collectorPath, std::string* message,
                     std::vector<std::string>* warnings) {
  std::string reason;
  if (loadKeyValueFile(kReportConfigPath, config, &reason, warnings) != 0) {
    *message = reason.empty() ? std::string("No ") + kReportConfigPath + " config file" : reason;
    return -1;
  }
  if (configValue(config, "SUBMIT_URI").empty()) {
    *message = "No or empty SUBMIT_URI config parameter";
    return -1;
  }
  std::string collector = configValue(config, "COLLECTOR_SCRIPT");
  if (!collector.empty()) collectorPath = collector;
  return 0;
}

std::string configValue(const ReportConfig& config, const std::string& key) {
  auto it = config.find(key);
  return it == config.end() ? std::string() : it->second;
}

int readArchiveSizeLimit(const ReportConfig& config, unsigned long long& limit,
                         std::string* message) {
  limit = 0;
  std::string value = configValue(config, "SUBMIT_MAX_SIZE");
  if (value.empty()) return 0;
  size_t digits = 0;
  unsigned long long bytes = 0;
  bool fits = true;
  for (; digits < value.size() && isdigit(static_cast<unsigned char>(value[digits])); ++digits) {
    unsigned digit = value[digits] - '0';
    fits = fits && bytes <= (~0ULL - digit) / 10;
    if (fits) bytes = bytes * 10 + digit;
  }
  int shift = 0;
  if (digits + 1 == value.size()) {
    static const char kUnits[] = "KMG";
    char unit = static_cast<char>(toupper(static_cast<unsigned char>(value.back())));
    const char* found = unit ? strchr(kUnits, unit) : nullptr;
    shift = found ? 10 * static_cast<int>(found - kUnits + 1) : -1;
  } else if (digits != value.size()) {
    shift = -1;
  }
  if (digits == 0 || shift < 0 || !fits || bytes > (~0ULL >> shift)) {
    *message = "SUBMIT_MAX_SIZE must be a number of bytes with an optional K, M or G suffix: " +
               printableText(value, LineBreaks::kSpace);
    return -1;
  }
  limit = bytes << shift;
  return 0;
}

void splitProxyCredentials(std::string& proxyUrl, std::string& credentials) {
  size_t from = proxyUrl.find("://");
  from = from == std::string::npos ? 0 : from + 3;
  size_t at = proxyUrl.find('@', from);
  if (at == std::string::npos) return;
  credentials = proxyUrl.substr(from, at - from);
  proxyUrl.erase(from, at - from + 1);
}

ProxyLookup readProxySettingsFrom(const char* path, std::string& proxyUrl,
                                  std::string& credentials, std::string* message) {
  proxyUrl.clear();
  credentials.clear();
  ReportConfig settings;
  std::string reason;
  if (loadKeyValueFile(path, settings, &reason) != 0) {
    if (reason.empty()) return ProxyLookup::kNoFile;
    if (message) *message = reason;
    return ProxyLookup::kUnreadable;
  }
  auto it = settings.find("HTTP_PROXY");
  if (it == settings.end()) return ProxyLookup::kNoProxy;
  proxyUrl = it->second;
  splitProxyCredentials(proxyUrl, credentials);
  return ProxyLookup::kFound;
}

ProxyLookup readProxySettings(std::string& proxyUrl, std::string& credentials) {
  return readProxySettingsFrom(kSystemConfigPath, proxyUrl, credentials);
}

}  // namespace cvreport
