// The installed OS and application templates ("CVTEMPLATES").
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

// Every template of every OS base; a failure of the template library is
// printed here and leaves CVTEMPLATES short.
void add_templates(xmlTextWriterPtr writer);

}  // namespace cvsysinfo
