// The sentrel high-availability manager ("high-availability").
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

// Its configuration and state as the tool writes them, when it is
// installed; an empty element otherwise.
void add_ha_info(xmlTextWriterPtr writer);

}  // namespace cvsysinfo
