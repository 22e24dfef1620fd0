// "yum repolist -v": repositories opened and closed by line prefixes, values
// as attributes or elements.
#include <string>

#include "harness.h"
#include "node/yum.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietXml();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string output(reinterpret_cast<const char*>(data), size);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string&) { return output; });
    cvsysinfo::add_yum_repositories(document.writer(), "yum repolist -v");
  }
  document.finish();
  return 0;
}
