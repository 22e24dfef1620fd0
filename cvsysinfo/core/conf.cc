#include "core/conf.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "core/capture.h"
#include "core/diagnostics.h"
#include "core/owners.h"
#include "core/text.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

// Keys whose values are personal data: only their shape is kept.
const char* const kMaskedConfKeys[] = {
    "RegisteredOwner", "RegisteredOrganization", "Userpassword", "HostName",
    "NameAliases", "Description", "IP", "IPGateWay", "DNSservers", "Winsservers",
    "Domain", "SearchDomains", "DHCPDNSservers", "DHCPWinsservers", "DHCPDomain",
    "VpsMac", "IPV6Addr", "IPV6GateWay", "IPV6DNSservers", "IPV6Winsservers",
    "IPV6DHCPDNSservers", "TerminalServerLicensingServers", "CLUSTERIP",
};

// Read in pieces, the rest of a long line would be taken for a line of its
// own and could name a key the file never set.
bool read_conf_line(FILE* in, const char* path, std::string& line) {
  line.clear();
  bool reported = false;
  int c;
  while ((c = getc(in)) != EOF) {
    if (c == '\n') return true;
    if (line.size() < kMaxConfLine) {
      line += static_cast<char>(c);
    } else if (!reported) {
      diagnostic("Line of %s longer than %zu bytes, the rest of it dropped\n", path, kMaxConfLine);
      reported = true;
    }
  }
  return !line.empty();
}

}  // namespace

bool is_masked_conf_key(const char* name) {
  for (const char* key : kMaskedConfKeys) {
    if (strcasecmp(name, key) == 0) return true;
  }
  return false;
}

void unquote_conf_value(char* value) {
  char* in = value;
  bool single_quoted = false, double_quoted = false;
  if (*in == '\'') {
    single_quoted = true;
    ++in;
    if (*in == '"') ++in;
  } else if (*in == '"') {
    double_quoted = true;
    ++in;
  }
  char* out = value;
  for (; *in; ++in) {
    if (*in == '\r' || *in == '\n') continue;
    if (single_quoted && *in == '\\') {
      if (!*++in) break;
    }
    *out++ = *in;
  }
  *out = '\0';
  while (out > value && (out[-1] == '\r' || out[-1] == '\n')) *--out = '\0';
  if ((single_quoted || double_quoted) && out > value && (out[-1] == '\'' || out[-1] == '"')) {
    *--out = '\0';
  }
}

void mask_conf_value(char* value) {
  char* out = value;
  for (char* in = value; *in;) {
    if (*in == ';') {
      *out++ = *in++;
      continue;
    }
    while (*in && *in != ';') ++in;
    *out++ = '.';
  }
  *out = '\0';
}

void add_conf(xmlTextWriterPtr writer, const char* path) {
  FileOwner in(fopen(path, "re"));
  if (!in) return;
  SectionWriter out(writer, "add_conf");
  out.start("CONF");
  std::string group;  // the open group's prefix as written; empty when none
  bool group_open = false;
  std::string text;
  while (read_conf_line(in.get(), path, text)) {
    char* key = &text[0];
    while (is_blank(*key)) ++key;
    if (*key == '#') continue;
    char* eq = strchr(key, '=');
    if (!eq) continue;
    *eq = '\0';
    char* value = eq + 1;
    char* name = key;
    char* dot = strchr(key, '.');
    if (dot) {
      *dot = '\0';
      name = dot + 1;
      if (group_open && group != key) {
        out.end();
        group_open = false;
      }
      if (!group_open) {
        group = key;
        make_xml_name(key);
        out.start(key);
        group_open = true;
      }
    } else if (group_open) {
      out.end();
      group_open = false;
    }
    make_xml_name(name);
    unquote_conf_value(value);
    if (is_masked_conf_key(name)) mask_conf_value(value);
    out.element(name, value);
  }
  if (group_open) out.end();
  out.end();
}

}  // namespace cvsysinfo
