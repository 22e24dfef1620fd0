#include "run/config.h"

namespace cvreport {
namespace {

// Bytes 1 to 32 are blank; bytes from 128 up belong to UTF-8 values.
bool isBlank(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

}  // namespace

bool parseKeyValueLine(const std::string& line, std::string& key, std::string& value) {
  size_t start = 0;
  while (start < line.size() && isBlank(line[start])) ++start;
  if (start == line.size() || line[start] == '#') return false;
  size_t eq = line.find('=', start);
  if (eq == std::string::npos || eq == start) return false;

  size_t keyEnd = eq;
  while (keyEnd > start && isBlank(line[keyEnd - 1])) --keyEnd;
  key.assign(line, start, keyEnd - start);

  size_t valueStart = eq + 1;
  size_t valueEnd = line.size();
  while (valueStart < valueEnd && isBlank(line[valueStart])) ++valueStart;
  while (valueEnd > valueStart && isBlank(line[valueEnd - 1])) --valueEnd;
  value.assign(line, valueStart, valueEnd - valueStart);

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
  FILE* in = fopen(path, "re");
  if (!in) return -1;
  loadKeyValueStream(in, map);
  fclose(in);
  return 0;
}

int loadReportConfig(std::string& message) {
  ReportConfig& config = reportSession.config;
  if (loadKeyValueFile(kReportConfigPath, config) != 0) {
    message = std::string("No ") + kReportConfigPath + " config file";
    return -1;
  }
  if (configValue("SUBMIT_URI").empty()) {
    message = "No or empty SUBMIT_URI config parameter";
    return -1;
  }
  std::string collector = configValue("COLLECTOR_SCRIPT");
  if (!collector.empty()) reportSession.collectorPath = collector;
  return 0;
}

std::string configValue(const std::string& key) {
  auto it = reportSession.config.find(key);
  return it == reportSession.config.end() ? std::string() : it->second;
}

void splitProxyCredentials(std::string& proxyUrl, std::string& credentials) {
  size_t from = proxyUrl.find("://");
  from = from == std::string::npos ? 0 : from + 3;
  size_t at = proxyUrl.find('@', from);
  if (at == std::string::npos) return;
  credentials = proxyUrl.substr(from, at - from);
  proxyUrl.erase(from, at - from + 1);
}

int readProxySettingsFrom(const char* path, std::string& proxyUrl, std::string& credentials) {
  proxyUrl.clear();
  credentials.clear();
  ReportConfig settings;
  if (loadKeyValueFile(path, settings) != 0) return 1;
  auto it = settings.find("HTTP_PROXY");
  if (it == settings.end()) return 2;
  proxyUrl = it->second;
  splitProxyCredentials(proxyUrl, credentials);
  return 0;
}

int readProxySettings(std::string& proxyUrl, std::string& credentials) {
  return readProxySettingsFrom(kSystemConfigPath, proxyUrl, credentials);
}

}  // namespace cvreport
