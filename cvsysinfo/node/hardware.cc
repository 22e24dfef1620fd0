#include "node/hardware.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "core/capture.h"
#include "core/report.h"

namespace cvsysinfo {
namespace {

const char kCpuinfo[] = "/proc/cpuinfo";
const char kZoneinfo[] = "/proc/zoneinfo";

}  // namespace

const char* find_key_value(const char* line, const char* key, const char* separators) {
  const char* found = strstr(line, key);
  if (!found) return nullptr;
  const char* value = found + strlen(key);
  value += strspn(value, separators);
  return *value ? value : nullptr;
}

int find_key_number(const char* line, const char* key, const char* separators) {
  const char* value = find_key_value(line, key, separators);
  if (!value) return -1;
  // A number beyond int gives its limit, so the topology limits still see it.
  long number = strtol(value, nullptr, 10);
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

int get_hw_info(HwInfo& info, const char* cpuinfo, const char* zoneinfo) {
  info = HwInfo();
  if (parse_cpuinfo(info, cpuinfo) != 0) return -1;
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) {
    info.ramMB = static_cast<int>((static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize)) >> 20);
  }
  info.numaNodes = count_numa_nodes(zoneinfo);
  return 0;
}

int get_hw_info(HwInfo& info) { return get_hw_info(info, kCpuinfo, kZoneinfo); }

int count_numa_nodes(const char* zoneinfo) {
  FILE* file = fopen(zoneinfo, "re");
  if (!file) return 0;
  int nodes = 0;
  char line[256];
  while (fgets(line, sizeof line, file)) {
    int node = find_key_number(line, "Node", "\t ");
    if (node >= 0 && node >= nodes) ++nodes;
  }
  fclose(file);
  return nodes;
}

void add_numa_info(xmlTextWriterPtr writer, const HwInfo& info) {
  startElement(writer, "add_numa_info", __LINE__, "numa");
  writeElement(writer, "add_numa_info", __LINE__, "nodes", std::to_string(info.numaNodes));
  if (access("/usr/bin/numactl", X_OK) == 0) add_command_out(writer, "numactl --hardware", "info");
  endElement(writer, "add_numa_info", __LINE__);
}

void add_cpu_info(xmlTextWriterPtr writer, const HwInfo& info) {
  startElement(writer, "add_cpu_info", __LINE__, "cpu");
  writeElement(writer, "add_cpu_info", __LINE__, "logical", std::to_string(info.logical));
  startElement(writer, "add_cpu_info", __LINE__, "layout");
  writeElement(writer, "add_cpu_info", __LINE__, "sockets", std::to_string(info.sockets));
  writeElement(writer, "add_cpu_info", __LINE__, "cores-per-socket",
               std::to_string(info.coresPerSocket));
  writeElement(writer, "add_cpu_info", __LINE__, "threads-per-core",
               std::to_string(info.threadsPerCore));
  endElement(writer, "add_cpu_info", __LINE__);
  writeElement(writer, "add_cpu_info", __LINE__, "model-name",
               info.hasModelName ? info.modelName.c_str() : nullptr);
  endElement(writer, "add_cpu_info", __LINE__);
}

void add_hw_info(xmlTextWriterPtr writer, const char* cpuinfo, const char* zoneinfo) {
  startElement(writer, "add_hw_info", __LINE__, "hardware");
  HwInfo info;
  if (get_hw_info(info, cpuinfo, zoneinfo) != 0) {
    fprintf(stderr, "failed to get hardware info\n");
  } else {
    add_numa_info(writer, info);
    add_cpu_info(writer, info);
    writeElement(writer, "add_hw_info", __LINE__, "ram", std::to_string(info.ramMB) + " MB");
  }
  endElement(writer, "add_hw_info", __LINE__);
}

void add_hw_info(xmlTextWriterPtr writer) { add_hw_info(writer, kCpuinfo, kZoneinfo); }

void add_chipcaps_info(xmlTextWriterPtr writer) {
  startElement(writer, "add_chipcaps_info", __LINE__, "chipcaps");
  if (access("/usr/sbin/chipcaps", X_OK) == 0) {
    add_command_out(writer, "/usr/sbin/chipcaps info", "info");
    add_command_out(writer, "/usr/sbin/chipcaps dump --original", "original");
    add_command_out(writer, "/usr/sbin/chipcaps dump --mask-caps", "mask-caps");
  }
  endElement(writer, "add_chipcaps_info", __LINE__);
}

}  // namespace cvsysinfo
