// "yum repolist -v": repositories opened and closed by line prefixes, values
// as attributes or elements.
#include "harness.h"
#include "node/yum.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeFromToolOutput(data, size, [](xmlTextWriterPtr writer) {
    cvsysinfo::add_yum_repositories(writer, "yum repolist -v");
  });
  return 0;
}
