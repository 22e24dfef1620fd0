#include "submit/obfuscate_report.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <set>
#include <string_view>
#include <vector>

#include "obfuscate/obfuscation_map.h"
#include "obfuscate/obfuscator.h"
#include "run/files.h"
#include "run/unique_handles.h"
#include "submit/contact_file.h"
#include "submit/report_review.h"

namespace cvreport {
namespace {

constexpr char kObfuscatedNote[] =
    "# Obfuscated: host names, addresses and user names were replaced with placeholders\n";
// Account ids below this are the system's own (root, nginx, mysql):
// support needs them as they are. The overflow account is one of them too.
constexpr unsigned long kFirstPersonalId = 1000;
constexpr unsigned long kOverflowId = 65534;
// A file holding a NUL byte this early is data, not text: replacing bytes
// in it would break it, and the check after catches any original it holds.
constexpr size_t kBinarySniffBytes = 8000;

bool isPersonalId(unsigned long id) { return id >= kFirstPersonalId && id != kOverflowId; }

using LineVisit = std::function<void(std::string_view line)>;

void forEachLine(std::string_view text, const LineVisit& visit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    visit(text.substr(start, end - start));
    start = end + 1;
  }
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The line's fields split at blanks and at any of extra.
std::vector<std::string_view> fieldsOf(std::string_view line, std::string_view extra = "") {
  std::vector<std::string_view> fields;
  size_t i = 0;
  auto separates = [extra](char c) { return isBlank(c) || extra.find(c) != std::string_view::npos; };
  while (i < line.size()) {
    while (i < line.size() && separates(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !separates(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

// The loopback and multicast names every hosts file has name no host.
bool isGenericHostName(std::string_view name) {
  return name.compare(0, 9, "localhost") == 0 || name.compare(0, 4, "ip6-") == 0;
}

// "ADDRESS NAME..." lines, comments after '#'.
void addHostsFileNames(std::string_view text, Obfuscator& obfuscator) {
  forEachLine(text, [&obfuscator](std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> fields = fieldsOf(line);
    for (size_t i = 1; i < fields.size(); ++i) {
      if (!isGenericHostName(fields[i])) obfuscator.addName(NameKind::kHost, fields[i]);
    }
  });
}

// The search domains of a resolver configuration.
void addResolverDomains(std::string_view text, Obfuscator& obfuscator) {
  forEachLine(text, [&obfuscator](std::string_view line) {
    std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.empty() || (fields[0] != "search" && fields[0] != "domain")) return;
    for (size_t i = 1; i < fields.size(); ++i) obfuscator.addName(NameKind::kDomain, fields[i]);
  });
}

// "name:x:id:..." lines of an account or group file; the personal ones.
void addAccountNames(std::string_view text, NameKind kind, Obfuscator& obfuscator) {
  forEachLine(text, [kind, &obfuscator](std::string_view line) {
    size_t nameEnd = line.find(':');
    size_t idStart = line.find(':', nameEnd == std::string_view::npos ? line.size() : nameEnd + 1);
    if (idStart == std::string_view::npos) return;
    std::string_view idText = line.substr(idStart + 1);
    idText = idText.substr(0, idText.find(':'));
    if (idText.empty() || idText.size() > 10 ||
        !std::all_of(idText.begin(), idText.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return;
    }
    unsigned long id = strtoul(std::string(idText).c_str(), nullptr, 10);
    if (isPersonalId(id)) obfuscator.addName(kind, line.substr(0, nameEnd));
  });
}

enum class HostKey { kNone, kName, kHost };

// The user column of the host's process list: accounts the name service
// knows beyond /etc/passwd (a directory service) are personal too.
void addProcessUsers(std::string_view text, Obfuscator& obfuscator) {
  std::set<std::string> seen;
  forEachLine(text, [&](std::string_view line) {
    std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.empty() || !seen.insert(std::string(fields[0])).second) return;
    struct passwd entry;
    struct passwd* found = nullptr;
    std::array<char, 4096> buffer;
    if (getpwnam_r(std::string(fields[0]).c_str(), &entry, buffer.data(), buffer.size(),
                   &found) == 0 && found && isPersonalId(found->pw_uid)) {
      obfuscator.addName(NameKind::kUser, fields[0]);
    }
  });
}

// A setting's key that holds a host's name (HOSTNAME, NODE_NAME) or may
// hold one among other values (db_host, Db.Host: yes, any, a path).
HostKey hostKeyOf(std::string_view key) {
  std::string folded;
  for (char c : key) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  auto ends = [&folded](const std::string& tail) {
    return folded.size() >= tail.size() &&
           folded.compare(folded.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (ends("hostname") || ends("nodename") || ends("servername") || ends("fqdn")) {
    return HostKey::kName;
  }
  return ends("host") ? HostKey::kHost : HostKey::kNone;
}

// The value's words that look like host names: under a key that may hold
// anything, only dotted names, so that "yes" or "any" stay. An address is
// the engine's to find by itself.
void addHostValue(std::string_view value, HostKey key, Obfuscator& obfuscator) {
  for (std::string_view word : fieldsOf(value, "\"',;<>")) {
    bool named = std::any_of(word.begin(), word.end(),
                             [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    bool dotted = word.find('.') != std::string_view::npos;
    if (named && (dotted || key == HostKey::kName) && !isGenericHostName(word)) {
      obfuscator.addName(NameKind::kHost, word);
    }
  }
}

// The host of every "scheme://[user@]host[:port]" in the line.
void addUrlHosts(std::string_view line, Obfuscator& obfuscator) {
  size_t at = 0;
  while ((at = line.find("://", at)) != std::string_view::npos) {
    at += 3;
    size_t end = line.find_first_of("/ \t\"'<>?#", at);
    std::string_view authority = line.substr(at, end == std::string_view::npos ? end : end - at);
    size_t user = authority.rfind('@');
    if (user != std::string_view::npos) authority.remove_prefix(user + 1);
    addHostValue(authority.substr(0, authority.find(':')), HostKey::kHost, obfuscator);
    // On from the authority's end: "a://a://..." is read once, not again
    // from every scheme.
    if (end == std::string_view::npos) break;
    at = end;
  }
}

// KEY=value, KEY: value, KEY value and <KEY>value</KEY> lines whose key
// names a host.
void addConfiguredHosts(std::string_view text, Obfuscator& obfuscator) {
  forEachLine(text, [&obfuscator](std::string_view line) {
    addUrlHosts(line, obfuscator);
    size_t start = line.find_first_not_of(" \t<");
    if (start == std::string_view::npos) return;
    line.remove_prefix(start);
    if (line.compare(0, 7, "export ") == 0) line.remove_prefix(7);
    size_t keyEnd = line.find_first_of("=: \t>");
    if (keyEnd == std::string_view::npos) return;
    HostKey key = hostKeyOf(line.substr(0, keyEnd));
    std::string_view value = line.substr(keyEnd + 1);
    if (key != HostKey::kNone) addHostValue(value.substr(0, value.find("</")), key, obfuscator);
  });
}

// Reads root/etc/NAME of a container without following a link anywhere
// below the root: the container's owner controls everything in there, and a
// link could point root at the host's own files. Empty when it cannot.
std::string readContainerEtcFile(const std::string& root, const char* name) {
  UniqueFd rootFd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!rootFd.valid()) return {};
  UniqueFd etc(openat(rootFd.get(), "etc", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!etc.valid()) return {};
  UniqueFd file(openat(etc.get(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (!file.valid() || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  std::string text(std::min<size_t>(static_cast<size_t>(st.st_size), kMaxSettingsFileBytes), '\0');
  ssize_t got = pread(file.get(), text.data(), text.size(), 0);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// The accounts of each container whose root the inventory names
// (<CtRoot>PATH</CtRoot>): their users show in the containers' process
// lists, which the host's name service does not know.
void addContainerAccounts(std::string_view inventory, Obfuscator& obfuscator) {
  static constexpr std::string_view kOpen = "<CtRoot>", kClose = "</CtRoot>";
  size_t at = 0;
  while ((at = inventory.find(kOpen, at)) != std::string_view::npos) {
    at += kOpen.size();
    size_t end = inventory.find(kClose, at);
    if (end == std::string_view::npos) return;
    std::string root(inventory.substr(at, end - at));
    at = end;
    // A root the inventory had to escape is no plain path of the host's.
    if (root.empty() || root[0] != '/' || root.find('&') != std::string::npos) continue;
    addAccountNames(readContainerEtcFile(root, "passwd"), NameKind::kUser, obfuscator);
    addAccountNames(readContainerEtcFile(root, "group"), NameKind::kGroup, obfuscator);
  }
}

// What the archive's own files say about names, file by file.
void addCollectedNames(const std::string& name, std::string_view data, Obfuscator& obfuscator) {
  if (name == "network/hosts") addHostsFileNames(data, obfuscator);
  if (name == "network/resolv.conf") addResolverDomains(data, obfuscator);
  if (name == "processes/ps.txt") addProcessUsers(data, obfuscator);
  if (name.compare(0, 7, "config/") == 0 || name.compare(0, 10, "inventory/") == 0) {
    addConfiguredHosts(data, obfuscator);
  }
  if (name.compare(0, 10, "inventory/") == 0) addContainerAccounts(data, obfuscator);
}

// This host's own names and accounts, and the words the site listed; -1
// with the reason when the words file is not root's alone.
int addHostNames(Obfuscator& obfuscator, std::string* message) {
  char hostName[256] = {};
  if (gethostname(hostName, sizeof hostName - 1) == 0 && !isGenericHostName(hostName)) {
    // Logs name the host by its short name as often as by the full one.
    std::string_view name = hostName;
    obfuscator.addName(NameKind::kHost, name);
    obfuscator.addName(NameKind::kHost, name.substr(0, name.find('.')));
  }
  std::string text, unused;
  if (readSettingsFile("/etc/hosts", true, text, &unused) == FileRead::kRead) {
    addHostsFileNames(text, obfuscator);
  }
  if (readSettingsFile("/etc/passwd", true, text, &unused) == FileRead::kRead) {
    addAccountNames(text, NameKind::kUser, obfuscator);
  }
  if (readSettingsFile("/etc/group", true, text, &unused) == FileRead::kRead) {
    addAccountNames(text, NameKind::kGroup, obfuscator);
  }
  if (checkRootOnly(kObfuscationWordsPath, message) == FileSafety::kUnsafe) return -1;
  FileRead words = readSettingsFile(kObfuscationWordsPath, true, text, message);
  if (words == FileRead::kUnreadable) return -1;
  if (words == FileRead::kRead) {
    forEachLine(text, [&obfuscator](std::string_view line) {
      std::vector<std::string_view> fields = fieldsOf(line);
      if (fields.size() == 1) obfuscator.addName(NameKind::kWord, fields[0]);
    });
  }
  message->clear();
  return 0;
}

bool isBinary(const std::string& data) {
  return memchr(data.data(), '\0', std::min(data.size(), kBinarySniffBytes)) != nullptr;
}

// Writes the replaced text over the collector's copy in filesDir, which
// the review scans; a file that is not there as a regular file is left.
void replaceCopy(const std::string& filesDir, const std::string& name, const std::string& data) {
  UniqueFd fd(open((filesDir + "/" + name).c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() >= 0) writeAll(fd.get(), data.data(), data.size());
}

std::string kindText(const ObfuscationMap& map, const std::string& original) {
  static const std::pair<const char*, const char*> kKinds[] = {
      {"host", "a host name"},       {"domain", "a domain name"},   {"user", "a user name"},
      {"group", "a group name"},     {"word", "a listed word"},     {"ipv4net", "an IPv4 address"},
      {"ipv6net", "an IPv6 address"}, {"macvendor", "a MAC address"}};
  for (const auto& entry : map.entries) {
    if (entry.first.second != original) continue;
    for (const auto& kind : kKinds) {
      if (entry.first.first == kind.first) return kind.second;
    }
  }
  return "a replaced name";
}

// Searches every file of the new archive, and every file name, for every
// original; the first find in outcome, the file named with its own
// originals replaced, so that the terminal never shows one.
int findSurvivor(const std::string& archivePath, Obfuscator& obfuscator,
                 const ObfuscationMap& map, ObfuscateOutcome& outcome, std::string* message) {
  return readReportFiles(
      archivePath,
      [&](const std::string& name, const std::string& data) {
        if (!outcome.file.empty() || name == kContactFileName) return;
        std::vector<std::string> found = obfuscator.survivors(name);
        if (found.empty()) found = obfuscator.survivors(data);
        if (found.empty()) return;
        outcome.file = obfuscator.apply(name);
        outcome.kind = kindText(map, found.front());
      },
      message);
}

}  // namespace

ObfuscateOutcome obfuscateReport(const std::string& archivePath, const std::string& filesDir,
                                 std::string* message) {
  ObfuscateOutcome outcome;
  ObfuscationMap map;
  Obfuscator obfuscator(map);
  if (loadObfuscationMap(kObfuscationMapPath, map, message) != 0 ||
      addHostNames(obfuscator, message) != 0) {
    outcome.result = ObfuscateResult::kRefused;
    return outcome;
  }
  // Every name is known before any file is replaced: one found in the last
  // file is replaced in the first as well.
  if (readReportFiles(
          archivePath,
          [&obfuscator](const std::string& name, const std::string& data) {
            addCollectedNames(name, data, obfuscator);
          },
          message) != 0) {
    return outcome;
  }
  obfuscator.build();
  int packed = repackReport(
      archivePath,
      [&](const std::string& name, std::string& data) {
        if (name == kContactFileName || isBinary(data)) return true;
        data = obfuscator.apply(data);
        if (name == kManifestMember) data += kObfuscatedNote;
        replaceCopy(filesDir, name, data);
        return true;
      },
      message);
  if (packed != 0) return outcome;
  if (saveObfuscationMap(kObfuscationMapPath, map, message) != 0 ||
      findSurvivor(archivePath, obfuscator, map, outcome, message) != 0 || !outcome.file.empty()) {
    // A report whose originals cannot be read back, or that still holds
    // one, must not be sent by anyone.
    unlink(archivePath.c_str());
    unlink((archivePath + ".sha256").c_str());
    if (!outcome.file.empty()) outcome.result = ObfuscateResult::kSurvived;
    return outcome;
  }
  outcome.result = ObfuscateResult::kObfuscated;
  outcome.originals = map.entries.size();
  return outcome;
}

std::string obfuscatedText() {
  return std::string("Names in this report were replaced; the map is in ") + kObfuscationMapPath;
}

std::string obfuscationSurvivorText(const ObfuscateOutcome& outcome) {
  return outcome.file + " still holds " + outcome.kind +
         " after obfuscation; the report was removed and not sent.";
}

}  // namespace cvreport
