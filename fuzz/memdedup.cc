// The memdedup tool's statistics lines for one container root.
#include "core/capture.h"
#include "harness.h"
#include "node/memdedup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeFromToolOutput(data, size, [](xmlTextWriterPtr writer) {
    cvsysinfo::LineParser parser{writer, cvsysinfo::memdedup_stat_parser, nullptr};
    cvsysinfo::run_command_parser("/usr/bin/memdedup stat /var/lib/cv/root/101", &parser);
  });
  return 0;
}
