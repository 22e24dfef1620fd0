#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "core/capture.h"
#include "core/report.h"

namespace cvsysinfo {
namespace {

// Keys whose values are personal data: only their shape is kept.
const char* const masked_conf_keys[] = {
    "RegisteredOwner", "RegisteredOrganization", "Userpassword", "HostName",
    "NameAliases", "Description", "IP", "IPGateWay", "DNSservers", "Winsservers",
    "Domain", "SearchDomains", "DHCPDNSservers", "DHCPWinsservers", "DHCPDomain",
    "VpsMac", "IPV6Addr", "IPV6GateWay", "IPV6DNSservers", "IPV6Winsservers",
    "IPV6DHCPDNSservers", "TerminalServerLicensingServers", "CLUSTERIP",
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

}  // namespace

bool is_masked_conf_key(const char* name) {
  for (const char* key : masked_conf_keys) {
    if (strcasecmp(name, key) == 0) return true;
  }
  return false;
}

void unquote_conf_value(char* value) {
  char* in = value;
  bool singleQuoted = false, doubleQuoted = false;
  if (*in == '\'') {
    singleQuoted = true;
    ++in;
    if (*in == '"') ++in;
  } else if (*in == '"') {
    doubleQuoted = true;
    ++in;
  }
  char* out = value;
  for (; *in; ++in) {
    if (*in == '\r' || *in == '\n') continue;
    if (singleQuoted && *in == '\\') {
      if (!*++in) break;
    }
    *out++ = *in;
  }
  *out = '\0';
  while (out > value && (out[-1] == '\r' || out[-1] == '\n')) *--out = '\0';
  if ((singleQuoted || doubleQuoted) && out > value && (out[-1] == '\'' || out[-1] == '"')) {
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
  FILE* in = fopen(path, "re");
  if (!in) return;
  startElement(writer, "add_conf", __LINE__, "CONF");
  std::string group;  // the open group's prefix as written; empty when none
  bool groupOpen = false;
  char line[4096];
  while (fgets(line, sizeof line, in)) {
    char* key = line;
    while (isBlank(*key)) ++key;
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
      if (groupOpen && group != key) {
        endElement(writer, "add_conf", __LINE__);
        groupOpen = false;
      }
      if (!groupOpen) {
        group = key;
        make_xml_name(key);
        startElement(writer, "add_conf", __LINE__, key);
        groupOpen = true;
      }
    } else if (groupOpen) {
      endElement(writer, "add_conf", __LINE__);
      groupOpen = false;
    }
    make_xml_name(name);
    unquote_conf_value(value);
    if (is_masked_conf_key(name)) mask_conf_value(value);
    writeElement(writer, "add_conf", __LINE__, name, value);
  }
  fclose(in);
  if (groupOpen) endElement(writer, "add_conf", __LINE__);
  endElement(writer, "add_conf", __LINE__);
}

}  // namespace cvsysinfo
