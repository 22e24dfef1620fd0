// The imgtrim statistics of the host ("imgtrim").
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

// One "Stats" per log line that mentions it; an unreadable log gives an
// empty element.
void add_imgtrim_info(xmlTextWriterPtr writer);
// The same on another log, for the tests.
void add_imgtrim_info(xmlTextWriterPtr writer, const char* log);
// The line's name=value pairs as attributes of one "Stats"; a line too long
// for the pattern search keeps what was found and is printed.
void add_imgtrim_stat_line(xmlTextWriterPtr writer, const char* line);

}  // namespace cvsysinfo
