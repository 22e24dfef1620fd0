// The df lines of a container's root: inodes and space.
#include "core/capture.h"
#include "containers/containers.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeFromToolOutput(data, size, [](xmlTextWriterPtr writer) {
    cvsysinfo::LineParser inodes{writer, cvsysinfo::df_inodes_parser, nullptr};
    cvsysinfo::run_command_parser("df -Pi /root", &inodes);
    cvsysinfo::LineParser space{writer, cvsysinfo::df_space_parser, nullptr};
    cvsysinfo::run_command_parser("df -P /root", &space);
  });
  return 0;
}
