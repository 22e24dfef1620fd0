// add_command_xml: whatever a tool prints as its XML is copied into the
// document, which must stay well-formed with every element closed.
#include "core/embed_xml.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeFromToolOutput(data, size, [](xmlTextWriterPtr writer) {
    // Twice, so that what the first copy leaves behind would show.
    cvsysinfo::add_command_xml(writer, "cvmemcheck -x");
    cvsysinfo::add_command_xml(writer, "cvcpucheck -x");
  });
  return 0;
}
