// The md devices of the mount table and mdadm's KEY=value lines for each.
#include <string>

#include "harness.h"
#include "node/storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemFile mounts;
  std::vector<std::string> parts = fuzz::splitParts(data, size, 2);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string&) { return parts[1]; });
    cvsysinfo::add_md_info(document.writer(), mounts.hold(parts[0]), "/sbin/mdadm -D -Y %s");
    // Every device reaches mdadm as one word of the shell.
    for (const std::string& command : tool.commands()) {
      if (command.size() > 255) fuzz::fail("command longer than its buffer", command);
    }
  }
  document.finish();
  return 0;
}
