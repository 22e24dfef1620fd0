#include "node/mount_table.h"

#include <mntent.h>
#include <stdio.h>

#include <vector>

#include "core/owners.h"

namespace cvsysinfo {

const char kMountTable[] = "/proc/mounts";

namespace {

// Container hosts mount overlays whose option strings run to many kilobytes;
// a longer entry loses its tail rather than becoming a second entry.
constexpr size_t kMountLine = 64 * 1024;

}  // namespace

bool for_each_mount(const char* table, const std::function<void(const MountEntry&)>& visit) {
  // setmntent's stream is a plain stdio stream (endmntent only fcloses it).
  FileOwner file(setmntent(table, "r"));
  if (!file) return false;
  std::vector<char> buffer(kMountLine);
  struct mntent entry;
  while (getmntent_r(file.get(), &entry, buffer.data(), static_cast<int>(buffer.size()))) {
    visit(MountEntry{entry.mnt_fsname, entry.mnt_dir, entry.mnt_opts});
  }
  return true;
}

}  // namespace cvsysinfo
