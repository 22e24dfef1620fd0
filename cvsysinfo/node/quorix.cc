#include "node/quorix.h"

#include <string.h>

#include <string>

#include "core/command.h"
#include "core/embed_xml.h"
#include "core/xml_writer.h"
#include "node/mount_table.h"

namespace cvsysinfo {
namespace {

const char kQuorixFormat[] = "/usr/bin/quorix -c %s stat --xml";

}  // namespace

void add_tessel_info(xmlTextWriterPtr writer, const char* mount_table, const char* quorix_format) {
  SectionWriter out(writer, "add_tessel_info");
  out.start("tessel");
  for_each_mount(mount_table, [&](const MountEntry& entry) {
    if (strncmp(entry.device, "quorix://", 9) != 0) return;
    std::string command;
    if (command_with_value(command, quorix_format, entry.device + 9)) {
      add_command_xml(writer, command.c_str());
    }
  });
  out.end();
}

void add_tessel_info(xmlTextWriterPtr writer) { add_tessel_info(writer, kMountTable, kQuorixFormat); }

}  // namespace cvsysinfo
