// The kernel's mount table, as the node sections that look for their
// devices and options read it.
#pragma once

#include <functional>

namespace cvsysinfo {

extern const char kMountTable[];

struct MountEntry {
  const char* device;
  const char* mount_point;
  const char* options;
};

// Calls visit for every entry in file order; false, with nothing printed,
// when the table cannot be opened.
bool for_each_mount(const char* table, const std::function<void(const MountEntry&)>& visit);

}  // namespace cvsysinfo
