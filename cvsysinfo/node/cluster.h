// Platform services of the host: quorix cluster storage ("tessel"), the
// sentrel high-availability manager ("high-availability"), the memdedup
// shared caches ("memdedups") and the imgtrim statistics ("imgtrim").
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

#include "core/capture.h"

namespace cvsysinfo {

void add_tessel_info(xmlTextWriterPtr writer);
void add_ha_info(xmlTextWriterPtr writer);
void add_memdedup_info(xmlTextWriterPtr writer);
void memdedup_stat_parser(LineParser* parser, char* line);
void add_imgtrim_info(xmlTextWriterPtr writer);
void add_imgtrim_stat_line(xmlTextWriterPtr writer, const char* line);

// The inner steps with their table, files and tools given, for the tests.
void add_tessel_info(xmlTextWriterPtr writer, const char* mount_table, const char* quorix_format);
struct MemdedupSources {
  const char* mount_table;
  const char* conf;
  const char* stat_format;  // the stat command, "%s" standing for the root
};
void add_memdedup_info(xmlTextWriterPtr writer, const MemdedupSources& sources);
void add_imgtrim_info(xmlTextWriterPtr writer, const char* log);

}  // namespace cvsysinfo
