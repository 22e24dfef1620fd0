// "/proc/cpuinfo" and "/proc/zoneinfo" as any bytes: the CPU topology, the
// model name and the NUMA node count in the hardware element.
#include <string>

#include "harness.h"
#include "node/hardware.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemFile cpuinfo;
  static fuzz::MemFile zoneinfo;
  std::vector<std::string> parts = fuzz::splitParts(data, size, 2);
  cpuinfo.hold(parts[0]);
  zoneinfo.hold(parts[1]);

  cvsysinfo::HwInfo info;
  if (cvsysinfo::get_hw_info(info, cpuinfo.path(), zoneinfo.path()) == 0) {
    if (info.logical < 1 || info.cores_per_socket < 1 || info.threads_per_core < 1 || info.sockets < 0 ||
        info.numa_nodes < 0) {
      fuzz::fail("impossible topology");
    }
  }
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string&) { return std::string("numactl output\n"); });
    cvsysinfo::add_hw_info(document.writer(), cpuinfo.path(), zoneinfo.path());
  }
  document.finish();
  return 0;
}
