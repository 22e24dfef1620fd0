// add_command_xml: whatever a tool prints as its XML is copied into the
// document, which must stay well-formed with every element closed.
#include <string>

#include "core/capture.h"
#include "harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietXml();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string output(reinterpret_cast<const char*>(data), size);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string&) { return output; });
    // Twice, so that what the first copy leaves behind would show.
    cvsysinfo::add_command_xml(document.writer(), "cvmemcheck -x");
    cvsysinfo::add_command_xml(document.writer(), "cvcpucheck -x");
  }
  document.finish();
  return 0;
}
