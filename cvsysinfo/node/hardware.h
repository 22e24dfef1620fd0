// The host's hardware ("hardware") and its CPU feature masks ("chipcaps").
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

namespace cvsysinfo {

struct HwInfo {
  int logical = 0;
  int sockets = 0;
  int cores_per_socket = 0;
  int threads_per_core = 0;
  bool has_model_name = false;  // the file had a "model name" line
  std::string model_name;
  int ram_mb = 0;
  int numa_nodes = 0;
};

// "hardware" with NUMA, CPU and RAM; when /proc/cpuinfo cannot be read
// the failure is printed here and the element stays empty.
void add_hw_info(xmlTextWriterPtr writer);
// Its parts, written from what get_hw_info found.
void add_numa_info(xmlTextWriterPtr writer, const HwInfo& info);
void add_cpu_info(xmlTextWriterPtr writer, const HwInfo& info);
// The feature masks when the tool is installed; an empty element otherwise.
void add_chipcaps_info(xmlTextWriterPtr writer);

// 0, or -1 when the CPU table cannot be read or exceeds its limits
// (parse_cpuinfo prints why).
int get_hw_info(HwInfo& info);
int parse_cpuinfo(HwInfo& info);
// The text after key and its separators on the line; null when the key is
// absent or has no value.
const char* find_key_value(const char* line, const char* key, const char* separators);
// The key's value as a number (clamped to int), or -1 when it has none.
int find_key_number(const char* line, const char* key, const char* separators);

// The inner steps with their kernel files given, for the tests.
void add_hw_info(xmlTextWriterPtr writer, const char* cpuinfo, const char* zoneinfo);
int get_hw_info(HwInfo& info, const char* cpuinfo, const char* zoneinfo);
int parse_cpuinfo(HwInfo& info, const char* cpuinfo);
// The NUMA nodes the zone table names; 0 when it cannot be read.
int count_numa_nodes(const char* zoneinfo);

}  // namespace cvsysinfo
