#include "node/node.h"

#include <string>

#include "core/capture.h"
#include "core/conf.h"
#include "core/embed_xml.h"
#include "core/xml_writer.h"
#include "node/hardware.h"
#include "node/hdimg.h"
#include "node/imgtrim.h"
#include "node/memdedup.h"
#include "node/quorix.h"
#include "node/sentrel.h"
#include "node/storage.h"
#include "node/yum.h"

namespace cvsysinfo {

void add_node(xmlTextWriterPtr writer, uint32_t total_containers, uint32_t running_containers,
              const NodeTools& tools) {
  SectionWriter out(writer, "add_node");
  out.start("NODE");
  out.element("TOTAL_CT", std::to_string(total_containers));
  out.element("RUNNING_CT", std::to_string(running_containers));
  add_conf(writer, "/etc/cv/cv.conf");
  add_command_out(writer, tools.memory, "MemoryUsage");
  add_command_out(writer, tools.disk_space, "DiskSpaceUsage");
  add_command_xml(writer, "cvmemcheck -x");
  add_command_xml(writer, "cvcpucheck -x");
  add_command_xml(writer, "cvdiskcheck -x");
  add_yum_repositories(writer, tools.repositories);
  add_proc_file(writer, "/proc/cv/vestat", "VESTAT");
  add_lvm_info(writer);
  add_md_info(writer);
  add_dmraid(writer);
  add_hdimg_stat(writer);
  add_tessel_info(writer);
  add_ha_info(writer);
  add_hw_info(writer);
  add_memdedup_info(writer);
  add_imgtrim_info(writer);
  add_chipcaps_info(writer);
  out.end();
}

void add_node(xmlTextWriterPtr writer, uint32_t total_containers, uint32_t running_containers) {
  add_node(writer, total_containers, running_containers, NodeTools{"free", "df", "yum repolist -v"});
}

}  // namespace cvsysinfo
