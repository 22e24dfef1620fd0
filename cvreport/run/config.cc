#include "run/config.h"

#include "run/text.h"
#include "run/unique_handles.h"

namespace cvreport {

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

void loadKeyValueStream(FILE* in, ReportConfig& map) {
  // Lines longer than the buffer are handled piece by piece, each piece as a
  // line of its own, as the files have always been read.
  char buffer[4096];
  std::string key, value;
  while (fgets(buffer, sizeof buffer, in)) {
    if (parseKeyValueLine(buffer, key, value)) map[key] = value;
  }
}

int loadKeyValueFile(const char* path, ReportConfig& map) {
  map.clear();
  UniqueFile in(fopen(path, "re"));
  if (!in) return -1;
  loadKeyValueStream(in.get(), map);
  return 0;
}

int loadReportConfig(ReportConfig& config, std::string& collectorPath, std::string* message) {
  if (loadKeyValueFile(kReportConfigPath, config) != 0) {
    *message = std::string("No ") + kReportConfigPath + " config file";
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

void splitProxyCredentials(std::string& proxyUrl, std::string& credentials) {
  size_t from = proxyUrl.find("://");
  from = from == std::string::npos ? 0 : from + 3;
  size_t at = proxyUrl.find('@', from);
  if (at == std::string::npos) return;
  credentials = proxyUrl.substr(from, at - from);
  proxyUrl.erase(from, at - from + 1);
}

ProxyLookup readProxySettingsFrom(const char* path, std::string& proxyUrl,
                                  std::string& credentials) {
  proxyUrl.clear();
  credentials.clear();
  ReportConfig settings;
  if (loadKeyValueFile(path, settings) != 0) return ProxyLookup::kNoFile;
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
