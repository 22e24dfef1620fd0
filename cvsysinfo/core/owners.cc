#include "core/owners.h"

#include "core/spawn.h"

namespace cvsysinfo {

CommandOwner::CommandOwner(const char* command) { out_ = cvsysinfo_start_command(command, &pid_); }

int CommandOwner::finish() {
  if (!out_) return -1;
  int status = cvsysinfo_end_command(out_, pid_, 0);
  out_ = nullptr;
  return status;
}

void CommandOwner::stop() {
  if (!out_) return;
  cvsysinfo_end_command(out_, pid_, 1);
  out_ = nullptr;
}

}  // namespace cvsysinfo
