// The host's hardware ("hardware") and its CPU feature masks ("chipcaps").
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

namespace cvsysinfo {

struct HwInfo {
  int logical = 0;
  int sockets = 0;
  int coresPerSocket = 0;
  int threadsPerCore = 0;
  bool hasModelName = false;  // the file had a "model name" line
  std::string modelName;
  int ramMB = 0;
  int numaNodes = 0;
};

void add_hw_info(xmlTextWriterPtr writer);
void add_numa_info(xmlTextWriterPtr writer, const HwInfo& info);
void add_cpu_info(xmlTextWriterPtr writer, const HwInfo& info);
void add_chipcaps_info(xmlTextWriterPtr writer);

int get_hw_info(HwInfo& info);
int parse_cpuinfo(HwInfo& info);
const char* find_key_value(const char* line, const char* key, const char* separators);
int find_key_number(const char* line, const char* key, const char* separators);

// The inner steps with their kernel files given, for the tests.
void add_hw_info(xmlTextWriterPtr writer, const char* cpuinfo, const char* zoneinfo);
int get_hw_info(HwInfo& info, const char* cpuinfo, const char* zoneinfo);
int parse_cpuinfo(HwInfo& info, const char* cpuinfo);
int count_numa_nodes(const char* zoneinfo);

}  // namespace cvsysinfo
