// The KEY=value grammar of "/etc/cvreport.conf" and "/etc/sysconfig/cv":
// the file reader (with a byte-order mark in front as well), the line
// parser, the proxy URL split and the proxy address check.
#include <ctype.h>
#include <stdio.h>

#include <string>

#include "harness.h"
#include "run/config.h"
#include "run/files.h"

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

  // The whole input as a file, as both programs' loaders read it; over the
  // size cap it is refused whole.
  cvreport::ReportConfig map;
  std::string message;
  int loaded = cvreport::loadKeyValueFile(file.hold(text), map, &message);
  if (text.size() > cvreport::kMaxSettingsFileBytes) {
    if (loaded == 0 || message.empty() || !map.empty()) fuzz::fail("a file over the cap was read");
    return 0;
  }
  if (loaded != 0) fuzz::fail("a readable file was refused", message);
  for (const auto& [key, value] : map) checkSetting(key, value);

  // A byte-order mark in front changes nothing, as long as the first line
  // is read in one piece either way (and only the first mark is skipped).
  size_t firstLineEnd = text.find('\n');
  if (text.compare(0, 3, "\xef\xbb\xbf") != 0 &&
      (firstLineEnd == std::string::npos ? text.size() : firstLineEnd) + 3 < 4095 &&
      text.size() + 3 <= cvreport::kMaxSettingsFileBytes) {
    cvreport::ReportConfig marked;
    if (cvreport::loadKeyValueFile(file.hold("\xef\xbb\xbf" + text), marked) != 0) {
      fuzz::fail("a marked file was refused");
    }
    if (marked != map) fuzz::fail("the byte-order mark changed the settings", text);
  }

  // The whole input as one line, however long and whatever it holds.
  std::string key, value;
  if (cvreport::parseKeyValueLine(text, key, value)) {
    if (key.empty()) fuzz::fail("empty key accepted");
    if (key.size() + value.size() >= text.size()) fuzz::fail("key and value longer than the line");
  }

  // The host-wide proxy setting: the credentials move out of the URL whole.
  std::string url, credentials;
  file.hold(text);
  cvreport::ProxyLookup found = cvreport::readProxySettingsFrom(file.path(), url, credentials);
  if (found == cvreport::ProxyLookup::kFound) {
    // Whatever the text, the check answers, and a scheme other than the
    // accepted ones never passes.
    if (cvreport::isProxyUrl(url) && url.find("://") != std::string::npos) {
      std::string scheme = url.substr(0, url.find(':'));
      for (char& c : scheme) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      if (scheme != "http" && scheme != "https" && scheme.compare(0, 5, "socks") != 0) {
        fuzz::fail("a proxy scheme was accepted", url);
      }
    }
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
