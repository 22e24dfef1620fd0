// What several node sections share: the kernel's mount table, and command
// texts that carry a value from the host inside the 256-byte limit.
#pragma once

#include <functional>
#include <string>

namespace cvsysinfo {

extern const char kMountTable[];

struct MountEntry {
  const char* device;
  const char* mountPoint;
  const char* options;
};

// Calls visit for every entry in file order; false when the table cannot
// be opened.
bool for_each_mount(const char* table, const std::function<void(const MountEntry&)>& visit);

// Fills format's single "%s" with the value quoted for the shell. A command
// longer than 255 bytes would run with a cut-off argument, that is on some
// other device or cluster, so it is refused with a message instead.
bool command_with_value(std::string& command, const char* format, const std::string& value);

}  // namespace cvsysinfo
