// The memdedup tool's statistics lines for one container root.
#include <string>

#include "core/capture.h"
#include "harness.h"
#include "node/memdedup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietXml();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string output(reinterpret_cast<const char*>(data), size);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string&) { return output; });
    cvsysinfo::LineParser parser{document.writer(), cvsysinfo::memdedup_stat_parser, nullptr};
    cvsysinfo::run_command_parser("/usr/bin/memdedup stat /var/lib/cv/root/101", &parser);
  }
  document.finish();
  return 0;
}
