// The host node ("NODE"): its summary, storage, cluster and hardware.
#pragma once

#include <libxml/xmlwriter.h>
#include <stdint.h>

namespace cvsysinfo {

// Every node section in document order; each prints its own failures and
// none stops the others. The summary holds the containers the platform
// listed and those of them running.
void add_node(xmlTextWriterPtr writer, uint32_t total_containers, uint32_t running_containers);

// The host tools whose output the summary holds, as commands; the tests
// give their own.
struct NodeTools {
  const char* memory;        // "free"
  const char* disk_space;    // "df"
  const char* repositories;  // "yum repolist -v"
};
void add_node(xmlTextWriterPtr writer, uint32_t total_containers, uint32_t running_containers,
              const NodeTools& tools);

}  // namespace cvsysinfo
