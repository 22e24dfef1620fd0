#include "diff/netstat_ports.h"

#include "core/text.h"

namespace cvsysinfo {

namespace {

// "1021/httpd" gives "httpd"; "-" gives nothing.
std::string program_name(const std::string& field) {
  size_t slash = field.find('/');
  return slash == std::string::npos ? "" : field.substr(slash + 1);
}

void add_port(const std::string& line, ItemTable& table) {
  std::vector<std::string> fields = split_fields(trim(line));
  if (fields.size() < 5) return;
  const std::string& proto = fields[0];
  bool tcp = proto == "tcp" || proto == "tcp6";
  bool udp = proto == "udp" || proto == "udp6";
  if (tcp && fields.size() >= 6 && fields[5] == "LISTEN") {
    table.add(ItemKind::kPort, proto + " " + fields[3], fields.size() > 6 ? program_name(fields[6]) : "");
  } else if (udp) {
    // UDP has no state column: the program follows the foreign address.
    std::string program = fields.size() > 5 ? program_name(fields[5]) : "";
    if (fields.size() > 6 && fields[5] != "-" && program.empty()) program = program_name(fields[6]);
    table.add(ItemKind::kPort, proto + " " + fields[3], program);
  }
}

}  // namespace

void add_listening_ports(const std::string& netstat, ItemTable& table) {
  size_t at = 0;
  while (at < netstat.size()) {
    size_t end = netstat.find('\n', at);
    if (end == std::string::npos) end = netstat.size();
    add_port(netstat.substr(at, end - at), table);
    at = end + 1;
  }
}

}  // namespace cvsysinfo
