// The map from the names and addresses of a host to the placeholders that
// stand for them in its reports. It stays on the host, readable by root only,
// so that the administrator can translate what support asks about.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace cvreport {

inline constexpr char kObfuscationMapPath[] = "/var/lib/cvreport/obfuscation.map";

// The map: original -> placeholder, kept on the host, never in the archive.
struct ObfuscationMap {
  // One line a pair in the file: "KIND<TAB>ORIGINAL<TAB>PLACEHOLDER" (KIND: host, domain,
  // user, group, word, ipv4net, ipv6net, macvendor); originals are bytes without tab/newline.
  std::map<std::pair<std::string, std::string>, std::string> entries;  // (kind, original)
};

// Reads the map; a missing file is an empty map (0). Refuses (-1, reason) a file that is
// not a regular file owned by root with mode 0600 in a root-only 0700 directory, or a link.
// Lines that are not three tab-separated fields are skipped.
int loadObfuscationMap(const std::string& path, ObfuscationMap& map, std::string* message);

// Writes it atomically (temporary file, fsync, rename), 0600, making the directory 0700.
int saveObfuscationMap(const std::string& path, const ObfuscationMap& map, std::string* message);

}  // namespace cvreport
