// The installed OS and application templates ("CVTEMPLATES").
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

void add_templates(xmlTextWriterPtr writer);

}  // namespace cvsysinfo
