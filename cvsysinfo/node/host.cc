#include "node/host.h"

#include <mntent.h>
#include <stdio.h>

#include <vector>

#include "core/capture.h"

namespace cvsysinfo {

const char kMountTable[] = "/proc/mounts";

namespace {

constexpr size_t kCommandLimit = 256;
// Container hosts mount overlays whose option strings run to many kilobytes;
// a longer entry loses its tail rather than becoming a second entry.
constexpr size_t kMountLine = 64 * 1024;

}  // namespace

bool for_each_mount(const char* table, const std::function<void(const MountEntry&)>& visit) {
  FILE* file = setmntent(table, "r");
  if (!file) return false;
  std::vector<char> buffer(kMountLine);
  struct mntent entry;
  while (getmntent_r(file, &entry, buffer.data(), static_cast<int>(buffer.size()))) {
    visit(MountEntry{entry.mnt_fsname, entry.mnt_dir, entry.mnt_opts});
  }
  endmntent(file);
  return true;
}

bool command_with_value(std::string& command, const char* format, const std::string& value) {
  std::string quoted = shell_quote(value);
  command.assign(format);
  size_t slot = command.find("%s");
  if (slot != std::string::npos) command.replace(slot, 2, quoted);
  if (command.size() < kCommandLimit) return true;
  fprintf(stderr, "Command is longer than %zu bytes, not run: %s\n", kCommandLimit - 1,
          command.c_str());
  command.clear();
  return false;
}

}  // namespace cvsysinfo
