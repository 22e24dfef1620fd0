// The cvlist table: the header that names the columns and the cells cut
// at their positions, whatever the tool prints.
#include "containers/containers.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeFromToolOutput(data, size, [](xmlTextWriterPtr writer) { cvsysinfo::add_cvlist(writer); });
  return 0;
}
