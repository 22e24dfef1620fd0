// The collector script, which fills the files directory and packs the
// archive, writing its progress lines on its stdout: the one way both front
// ends run it.
#pragma once

#include <functional>
#include <string>

#include "run/session.h"

namespace cvreport {

// What both front ends say when the collector failed.
inline constexpr char kCollectFailedText[] =
    "A fatal error occured while collecting the information";

// How a front end follows the collector.
struct CollectorView {
  bool progressLines = false;  // asks for "Progress: N" lines (-d)
  // Beside a full-screen interface: the collector leads a process group of
  // its own, so that stopping it stops everything it started, and reads
  // /dev/null rather than the terminal.
  bool ownGroup = false;
  // Each line the collector writes, with its line feed (a line over 4095
  // bytes comes in pieces).
  std::function<void(const std::string& line)> line;
  // Called between reads while the collector runs; false cancels the run.
  // Without it the run waits on the collector's output.
  std::function<bool()> pace;
};

enum class CollectResult {
  kCollected,
  kNotStarted,   // error and errorNumber say why (logged already)
  kFailed,       // the collector ended with waitStatus other than 0
  kInterrupted,  // a signal came (run/interrupt.h): the collector was stopped
  kCanceled,     // pace said so: the collector was stopped
};

struct CollectOutcome {
  CollectResult result = CollectResult::kNotStarted;
  int waitStatus = 0;
  std::string error;
  int errorNumber = -1;
};

// Runs the collector for the session's files directory and follows it to
// its end. A run interrupted (or canceled) gives the collector its grace
// time to stop its commands, then stops it for good. Silent but for what
// the child plumbing logs; the front end reports the outcome.
CollectOutcome runCollector(const ReportSession& session, const CollectorView& view);

}  // namespace cvreport
