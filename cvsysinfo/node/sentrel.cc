#include "node/sentrel.h"

#include <unistd.h>

#include "core/embed_xml.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

const char kSentrel[] = "/usr/sbin/sentrel";

}  // namespace

void add_ha_info(xmlTextWriterPtr writer) {
  SectionWriter out(writer, "add_ha_info");
  out.start("high-availability");
  if (access(kSentrel, X_OK) == 0) {
    add_command_xml(writer, "/usr/sbin/sentrel get-config --xml");
    add_command_xml(writer, "/usr/sbin/sentrel stat --xml");
  }
  out.end();
}

}  // namespace cvsysinfo
