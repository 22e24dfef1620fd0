// lvs and vgs: a header line of column names, then rows of ":"-separated
// fields.
#include <string>

#include "harness.h"
#include "node/storage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietXml();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string output(reinterpret_cast<const char*>(data), size);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string&) { return output; });
    cvsysinfo::add_lvm_list(document.writer(), "volumes", "/sbin/lvs -o all --quiet --separator ':'",
                            "volume");
  }
  document.finish();
  return 0;
}
