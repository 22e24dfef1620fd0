// The KEY=value grammar of "/etc/cvreport.conf" and "/etc/sysconfig/cv":
// the file reader, the line parser and the proxy URL split.
#include <stdio.h>

#include <string>

#include "harness.h"
#include "run/config.h"

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32; }

void checkSetting(const std::string& key, const std::string& value) {
  if (key.empty()) fuzz::fail("empty key stored");
  if (isBlank(key.front()) || isBlank(key.back())) fuzz::fail("key keeps blanks at an end", key);
  if (key.front() == '#') fuzz::fail("comment line stored", key);
  if (key.find('=') != std::string::npos) fuzz::fail("key holds the separator", key);
  if (key.find('\n') != std::string::npos || value.find('\n') != std::string::npos) {
    fuzz::fail("a setting spans lines", key + "=" + value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemFile file;
  std::string text(reinterpret_cast<const char*>(data), size);

  // The whole input as a file, as both programs' loaders read it.
  cvreport::ReportConfig map;
  if (cvreport::loadKeyValueFile(file.hold(text), map) != 0) fuzz::fail("a readable file was refused");
  for (const auto& [key, value] : map) checkSetting(key, value);

  // The whole input as one line, however long and whatever it holds.
  std::string key, value;
  if (cvreport::parseKeyValueLine(text, key, value)) {
    if (key.empty()) fuzz::fail("empty key accepted");
    if (key.size() + value.size() >= text.size()) fuzz::fail("key and value longer than the line");
  }

  // The host-wide proxy setting: the credentials move out of the URL whole.
  std::string url, credentials;
  cvreport::ProxyLookup found = cvreport::readProxySettingsFrom(file.path(), url, credentials);
  if (found == cvreport::ProxyLookup::kFound) {
    auto it = map.find("HTTP_PROXY");
    if (it == map.end()) fuzz::fail("a proxy found that the loader did not see");
    size_t removed = credentials.empty() && url.size() == it->second.size() ? 0 : credentials.size() + 1;
    if (url.size() + removed != it->second.size()) {
      fuzz::fail("the proxy URL split lost or gained bytes", it->second + " -> " + url + " / " + credentials);
    }
  } else if (found == cvreport::ProxyLookup::kNoProxy) {
    if (map.count("HTTP_PROXY")) fuzz::fail("the proxy setting was missed");
  } else {
    fuzz::fail("the proxy file could not be read");
  }
  return 0;
}
