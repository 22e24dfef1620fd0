// One line on a terminal that says how far a long run has come: "what"
// done of total and the time so far. It is drawn only when standard error
// is a terminal (a person waits there; the collector and scripts read
// every byte), at most a few times a second, and erased at the end.
#pragma once

#include <stddef.h>

#include <chrono>

namespace cvsysinfo {

class ProgressLine {
 public:
  ProgressLine(const char* what, size_t total);
  ~ProgressLine() { clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // One more done.
  void step();
  // Brings the clock up to date.
  void tick() { draw(); }
  // Erases the line, so that a message can take its place; the next draw
  // brings it back.
  void clear();

 private:
  void draw();

  const char* what_;
  size_t total_;
  size_t done_ = 0;
  bool shown_ = false;
  bool enabled_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace cvsysinfo
