#include "node/node.h"

#include "core/capture.h"
#include "core/report.h"
#include "node/cluster.h"
#include "node/hardware.h"
#include "node/hdimg.h"
#include "node/storage.h"
#include "node/yum.h"

namespace cvsysinfo {

// The containers section has run by now, so the counters are final.
void add_node(xmlTextWriterPtr writer) {
  startElement(writer, "add_node", __LINE__, "NODE");
  writeElement(writer, "add_node", __LINE__, "TOTAL_CT", std::to_string(total_ct_count));
  writeElement(writer, "add_node", __LINE__, "RUNNING_CT", std::to_string(running_ct_count));
  add_conf(writer, "/etc/cv/cv.conf");
  add_command_out(writer, "free", "MemoryUsage");
  add_command_out(writer, "df", "DiskSpaceUsage");
  add_command_xml(writer, "cvmemcheck -x");
  add_command_xml(writer, "cvcpucheck -x");
  add_command_xml(writer, "cvdiskcheck -x");
  add_yum_repositories(writer);
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
  endElement(writer, "add_node", __LINE__);
}

}  // namespace cvsysinfo
