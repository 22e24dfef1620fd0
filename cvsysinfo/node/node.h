// The host node ("NODE"): its summary, storage, cluster and hardware.
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

// Every node section in document order; each prints its own failures and
// none stops the others. The container totals must be final by then.
void add_node(xmlTextWriterPtr writer);

// The host tools whose output the summary holds, as commands; the tests
// give their own.
struct NodeTools {
  const char* memory;        // "free"
  const char* disk_space;    // "df"
  const char* repositories;  // "yum repolist -v"
};
void add_node(xmlTextWriterPtr writer, const NodeTools& tools);

}  // namespace cvsysinfo
