#include "node/hardware.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "core/capture.h"
#include "core/diagnostics.h"
#include "core/owners.h"
#include "core/xml_writer.h"

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
  long page_size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page_size > 0) {
    info.ram_mb = static_cast<int>((static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size)) >> 20);
  }
  info.numa_nodes = count_numa_nodes(zoneinfo);
  return 0;
}

int get_hw_info(HwInfo& info) { return get_hw_info(info, kCpuinfo, kZoneinfo); }

int count_numa_nodes(const char* zoneinfo) {
  FileOwner file(fopen(zoneinfo, "re"));
  if (!file) return 0;
  int nodes = 0;
  char line[256];
  while (fgets(line, sizeof line, file.get())) {
    int node = find_key_number(line, "Node", "\t ");
    if (node >= 0 && node >= nodes) ++nodes;
  }
  return nodes;
}

void add_numa_info(xmlTextWriterPtr writer, const HwInfo& info) {
  SectionWriter out(writer, "add_numa_info");
  out.start("numa");
  out.element("nodes", std::to_string(info.numa_nodes));
  if (access("/usr/bin/numactl", X_OK) == 0) add_command_out(writer, "numactl --hardware", "info");
  out.end();
}

void add_cpu_info(xmlTextWriterPtr writer, const HwInfo& info) {
  SectionWriter out(writer, "add_cpu_info");
  out.start("cpu");
  out.element("logical", std::to_string(info.logical));
  out.start("layout");
  out.element("sockets", std::to_string(info.sockets));
  out.element("cores-per-socket", std::to_string(info.cores_per_socket));
  out.element("threads-per-core", std::to_string(info.threads_per_core));
  out.end();
  out.element("model-name", info.has_model_name ? info.model_name.c_str() : nullptr);
  out.end();
}

void add_hw_info(xmlTextWriterPtr writer, const char* cpuinfo, const char* zoneinfo) {
  SectionWriter out(writer, "add_hw_info");
  out.start("hardware");
  HwInfo info;
  if (get_hw_info(info, cpuinfo, zoneinfo) != 0) {
    diagnostic("failed to get hardware info\n");
  } else {
    add_numa_info(writer, info);
    add_cpu_info(writer, info);
    out.element("ram", std::to_string(info.ram_mb) + " MB");
  }
  out.end();
}

void add_hw_info(xmlTextWriterPtr writer) { add_hw_info(writer, kCpuinfo, kZoneinfo); }

void add_chipcaps_info(xmlTextWriterPtr writer) {
  SectionWriter out(writer, "add_chipcaps_info");
  out.start("chipcaps");
  if (access("/usr/sbin/chipcaps", X_OK) == 0) {
    add_command_out(writer, "/usr/sbin/chipcaps info", "info");
    add_command_out(writer, "/usr/sbin/chipcaps dump --original", "original");
    add_command_out(writer, "/usr/sbin/chipcaps dump --mask-caps", "mask-caps");
  }
  out.end();
}

}  // namespace cvsysinfo
