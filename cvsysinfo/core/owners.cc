#include "core/owners.h"

#include "core/spawn.h"

namespace cvsysinfo {

CommandOwner::CommandOwner(const char* command) : deadline_(std::chrono::steady_clock::now() + kCommandTimeout) {
  out_ = cvsysinfo_start_command(command, &pid_);
}

size_t CommandOwner::read(char* buffer, size_t size) {
  if (!out_ || timed_out_) return 0;
  return read_command_stream(out_, buffer, size, deadline_, &timed_out_);
}

int CommandOwner::finish() {
  if (!out_) return -1;
  // A leader that closed its output may still not end.
  if (timed_out_ || !wait_command_exit(pid_, deadline_)) {
    timed_out_ = true;
    stop();
    return -1;
  }
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
