// The df lines of a container's root: inodes and space.
#include <string>

#include "core/capture.h"
#include "containers/containers.h"
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
    cvsysinfo::LineParser inodes{document.writer(), cvsysinfo::df_inodes_parser, nullptr};
    cvsysinfo::run_command_parser("df -Pi /root", &inodes);
    cvsysinfo::LineParser space{document.writer(), cvsysinfo::df_space_parser, nullptr};
    cvsysinfo::run_command_parser("df -P /root", &space);
  }
  document.finish();
  return 0;
}
