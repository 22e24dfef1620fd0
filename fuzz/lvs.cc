// lvs and vgs: a header line of column names, then rows of ":"-separated
// fields.
#include "harness.h"
#include "node/storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeFromToolOutput(data, size, [](xmlTextWriterPtr writer) {
    cvsysinfo::add_lvm_list(writer, "volumes", "/sbin/lvs -o all --quiet --separator ':'", "volume");
  });
  return 0;
}
