#include "submit/collector.h"

#include <vector>

#include "run/interrupt.h"
#include "submit/child.h"
#include "submit/pipe_reader.h"

namespace cvreport {
namespace {

constexpr size_t kMaxCollectorLine = 4095;

// The collector's command line: the program, "-d" when its progress lines
// are wanted, the directory it fills.
std::vector<std::string> collectorArguments(const std::string& collectorPath,
                                            bool progressLines, const std::string& filesDir) {
  std::vector<std::string> arguments{collectorPath};
  if (progressLines) arguments.push_back("-d");
  arguments.push_back(filesDir);
  return arguments;
}

// Hands the collector's lines on until its output ends.
CollectResult followCollector(Child& collector, const CollectorView& view) {
  int fd = collector.outputFd();
  std::string pending;
  for (;;) {
    if (pendingInterrupt()) {
      collector.stop(kStopGraceMillis);
      return CollectResult::kInterrupted;
    }
    std::vector<std::string> lines;
    PipeState state = readPipeLines(fd, pending, lines, kMaxCollectorLine);
    for (const std::string& line : lines) {
      if (view.line) view.line(line);
    }
    if (state != PipeState::kOpen) return CollectResult::kCollected;
    if (!view.pace) {
      waitForPipe(fd, -1);
    } else if (!view.pace()) {
      collector.stop(kStopGraceMillis);
      return CollectResult::kCanceled;
    }
  }
}

}  // namespace

CollectOutcome runCollector(const ReportSession& session, const CollectorView& view) {
  CollectOutcome outcome;
  Child collector;
  if (collector.startProgram(
          collectorArguments(session.collectorPath, view.progressLines, session.filesDir),
          view.ownGroup) != 0) {
    outcome.error = collector.failure();
    outcome.errorNumber = collector.errorNumber();
    return outcome;
  }
  collector.forwardInterrupts();
  outcome.result = followCollector(collector, view);
  if (outcome.result == CollectResult::kCollected) {
    // A close that failed leaves the status unknown, which counts as success.
    collector.closeAndReap(&outcome.waitStatus);
    if (outcome.waitStatus != 0) outcome.result = CollectResult::kFailed;
  }
  setInterruptTarget(0);
  // A signal that came as the collector ended still ends the run.
  if (pendingInterrupt() && outcome.result != CollectResult::kCanceled) {
    outcome.result = CollectResult::kInterrupted;
  }
  return outcome;
}

}  // namespace cvreport
