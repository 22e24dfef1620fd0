#include <string.h>
#include <unistd.h>

#include "core/report.h"
#include "node/cluster.h"
#include "node/host.h"

namespace cvsysinfo {
namespace {

const char kQuorixFormat[] = "/usr/bin/quorix -c %s stat --xml";
const char kSentrel[] = "/usr/sbin/sentrel";

}  // namespace

void add_tessel_info(xmlTextWriterPtr writer, const char* mount_table, const char* quorix_format) {
  startElement(writer, "add_tessel_info", __LINE__, "tessel");
  for_each_mount(mount_table, [&](const MountEntry& entry) {
    if (strncmp(entry.device, "quorix://", 9) != 0) return;
    std::string command;
    if (command_with_value(command, quorix_format, entry.device + 9)) {
      add_command_xml(writer, command.c_str());
    }
  });
  endElement(writer, "add_tessel_info", __LINE__);
}

void add_tessel_info(xmlTextWriterPtr writer) { add_tessel_info(writer, kMountTable, kQuorixFormat); }

void add_ha_info(xmlTextWriterPtr writer) {
  startElement(writer, "add_ha_info", __LINE__, "high-availability");
  if (access(kSentrel, X_OK) == 0) {
    add_command_xml(writer, "/usr/sbin/sentrel get-config --xml");
    add_command_xml(writer, "/usr/sbin/sentrel stat --xml");
  }
  endElement(writer, "add_ha_info", __LINE__);
}

}  // namespace cvsysinfo
