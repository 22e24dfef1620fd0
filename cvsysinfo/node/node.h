// The host node ("NODE"): its summary, storage, cluster and hardware.
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

void add_node(xmlTextWriterPtr writer);

}  // namespace cvsysinfo
