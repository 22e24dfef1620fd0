// The listening sockets of a container, from what its netstat printed.
#pragma once

#include <string>

#include "diff/item_table.h"

namespace cvsysinfo {

// Adds a port item for each TCP socket in state LISTEN and each UDP
// socket: key "tcp 0.0.0.0:80", value the program name ("httpd", empty
// when netstat could not tell).
void add_listening_ports(const std::string& netstat, ItemTable& table);

}  // namespace cvsysinfo
