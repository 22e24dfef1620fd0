#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <optional>
#include <vector>

#include "core/diagnostics.h"
#include "core/owners.h"
#include "node/hardware.h"

namespace cvsysinfo {
namespace {

constexpr int kMaxCpuSockets = 256;
constexpr int kMaxCpuCores = 256;
const char kSeparators[] = "\t :";

// Per socket a core count and a thread counter per core, then the count of
// sockets seen: one block of 256 x 257 + 2 integers.
class Topology {
 public:
  Topology() : cells_(kMaxCpuSockets * (kMaxCpuCores + 1) + 2, 0) {}
  int& cores(int socket) { return cells_[static_cast<size_t>(socket) * (kMaxCpuCores + 1)]; }
  int& threads(int socket, int core) {
    return cells_[static_cast<size_t>(socket) * (kMaxCpuCores + 1) + 1 + static_cast<size_t>(core)];
  }
  int& sockets() { return cells_[kMaxCpuSockets * (kMaxCpuCores + 1)]; }

 private:
  std::vector<int> cells_;
};

struct CpuLine {
  int processor = -1;
  int physical = -1;
  int core = -1;
  int last_processor = -1;
};

void report_limit(const char* what, int value, const char* limit) {
  diagnostic("internal error: %s = %d, need to increase %s limit and recompile\n", what, value, limit);
}

// False when a number is beyond the table's limits.
bool read_line(const char* line, CpuLine& cpu, Topology& table, HwInfo& info) {
  if (!info.has_model_name) {
    if (const char* value = find_key_value(line, "model name", kSeparators)) {
      info.model_name.assign(value, strcspn(value, "\n"));
      info.has_model_name = true;
    }
  }
  if (cpu.processor < 0) cpu.processor = find_key_number(line, "processor", kSeparators);
  if (cpu.physical < 0) cpu.physical = find_key_number(line, "physical id", kSeparators);
  if (cpu.core < 0) cpu.core = find_key_number(line, "core id", kSeparators);
  if (cpu.processor >= 0 && cpu.processor != cpu.last_processor) {
    ++info.logical;
    cpu.last_processor = cpu.processor;
  }
  if (cpu.processor < 0 || cpu.physical < 0 || cpu.core < 0) return true;
  if (cpu.physical >= kMaxCpuSockets) {
    report_limit("curr_socket", cpu.physical, "MAX_CPU_SOCKETS");
    return false;
  }
  if (cpu.core >= kMaxCpuCores) {
    report_limit("curr_core", cpu.core, "MAX_CPU_CORES");
    return false;
  }
  if (table.cores(cpu.physical) == 0) {
    ++info.sockets;
    ++table.sockets();
  }
  int& threads = table.threads(cpu.physical, cpu.core);
  if (threads++ == 0 && ++table.cores(cpu.physical) > info.cores_per_socket) {
    info.cores_per_socket = table.cores(cpu.physical);
  }
  info.threads_per_core = threads;
  cpu.processor = cpu.physical = cpu.core = -1;
  return true;
}

}  // namespace

int parse_cpuinfo(HwInfo& info, const char* cpuinfo) {
  std::optional<Topology> table;
  try {
    table.emplace();
  } catch (const std::bad_alloc&) {
    diagnostic("can't alloc memory for cpus structure\n");
    return -1;
  }
  FileOwner file(fopen(cpuinfo, "re"));
  if (!file) {
    int error = errno;
    diagnostic("can't read %s\n", cpuinfo);
    diagnostic("error: %s\n", strerror(error));
    return -1;
  }
  CpuLine cpu;
  char line[256];
  bool within_limits = true;
  while (within_limits && fgets(line, sizeof line, file.get())) within_limits = read_line(line, cpu, *table, info);
  if (!within_limits) return -1;
  if (info.logical == 0) info.logical = 1;
  if (info.cores_per_socket == 0) info.cores_per_socket = 1;
  if (info.threads_per_core == 0) info.threads_per_core = 1;
  return 0;
}

int parse_cpuinfo(HwInfo& info) { return parse_cpuinfo(info, "/proc/cpuinfo"); }

}  // namespace cvsysinfo
