// The quorix cluster storage mounted on the host ("tessel").
#pragma once

#include <libxml/xmlwriter.h>

namespace cvsysinfo {

// One "quorix stat" per quorix:// mount, its XML embedded; an unreadable
// mount table gives an empty element, and a refused command is printed by
// the command builder.
void add_tessel_info(xmlTextWriterPtr writer);
// The same with another mount table and tool ("%s" stands for the cluster).
void add_tessel_info(xmlTextWriterPtr writer, const char* mount_table, const char* quorix_format);

}  // namespace cvsysinfo
