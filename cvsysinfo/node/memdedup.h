// The memdedup shared caches of the host ("memdedups").
#pragma once

#include <libxml/xmlwriter.h>

#include "core/capture.h"

namespace cvsysinfo {

// Every cache named in a mount's "memdedup=" option, with the roots using
// it and their statistics; nothing when the mount table is unreadable or
// empty. Failures are printed here or by the capture functions.
void add_memdedup_info(xmlTextWriterPtr writer);
// One line of "memdedup stat"; lines of other keys or shapes give nothing.
void memdedup_stat_parser(LineParser* parser, char* line);

// The same with the table, configuration and tool given, for the tests.
struct MemdedupSources {
  const char* mount_table;
  const char* conf;
  const char* stat_format;  // the stat command, "%s" standing for the root
};
void add_memdedup_info(xmlTextWriterPtr writer, const MemdedupSources& sources);

}  // namespace cvsysinfo
