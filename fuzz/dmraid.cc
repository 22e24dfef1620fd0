// dmraid's device and set lines, each against its fixed columns.
#include <string>

#include "harness.h"
#include "node/storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::splitParts(data, size, 2);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string& command) {
      return command.find(" -r ") != std::string::npos ? parts[0] : parts[1];
    });
    cvsysinfo::add_dmraid(document.writer());
  }
  document.finish();
  return 0;
}
