#include "core/progress.h"

#include <stdio.h>
#include <unistd.h>

namespace cvsysinfo {
namespace {

constexpr std::chrono::milliseconds kRedrawPeriod(250);

}  // namespace

ProgressLine::ProgressLine(const char* what, size_t total)
    : what_(what), total_(total), enabled_(isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}

void ProgressLine::step() {
  ++done_;
  draw();
}

void ProgressLine::clear() {
  if (!shown_) return;
  fputs("\r\033[K", stderr);
  fflush(stderr);
  shown_ = false;
}

void ProgressLine::draw() {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (shown_ && now - last_draw_ < kRedrawPeriod) return;
  // The first line waits too: a run that is over at once shows nothing.
  if (!shown_ && now - start_ < kRedrawPeriod) return;
  long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - start_).count());
  fprintf(stderr, "\r\033[K%s %zu/%zu, %ld:%02ld", what_, done_, total_, seconds / 60, seconds % 60);
  fflush(stderr);
  shown_ = true;
  last_draw_ = now;
}

}  // namespace cvsysinfo
