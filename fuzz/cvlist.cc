// The cvlist table: the header that names the columns and the cells cut
// at their positions, whatever the tool prints.
#include <string>

#include "containers/containers.h"
#include "harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietXml();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string table(reinterpret_cast<const char*>(data), size);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string&) { return table; });
    cvsysinfo::add_cvlist(document.writer());
  }
  document.finish();
  return 0;
}
