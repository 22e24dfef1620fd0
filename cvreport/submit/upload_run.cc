#include "submit/upload_run.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include "run/interrupt.h"
#include "run/log.h"
#include "submit/child.h"
#include "submit/progress.h"
#include "submit/reply.h"
#include "submit/upload.h"

namespace cvreport {
namespace {

SubmitResult workerResult(int waitStatus) {
  if (!WIFEXITED(waitStatus)) return SubmitResult::kWorkerFailed;
  switch (static_cast<WorkerExit>(WEXITSTATUS(waitStatus))) {
    case WorkerExit::kAccepted:
      return SubmitResult::kAccepted;
    case WorkerExit::kVersionUnreadable:
      return SubmitResult::kVersionUnreadable;
    case WorkerExit::kNothingSent:
      return SubmitResult::kNothingSent;
    case WorkerExit::kTransferFailed:
      return SubmitResult::kTransferFailed;
    case WorkerExit::kRefused:
      return SubmitResult::kRefused;
    case WorkerExit::kReplyTimedOut:
      return SubmitResult::kReplyTimedOut;
    case WorkerExit::kRetryable:  // every attempt made: the last one's reason
      return SubmitResult::kTransferFailed;
    case WorkerExit::kSetupFailed:
      break;
  }
  return SubmitResult::kWorkerFailed;
}

// The value of the first line of collected that starts with key and "=":
// the worker's own, written before any of the service's text.
std::string firstWorkerValue(const std::string& collected, const std::string& key) {
  std::string prefix = key + "=";
  size_t start = 0;
  while (start < collected.size()) {
    size_t end = collected.find('\n', start);
    if (end == std::string::npos) end = collected.size();
    if (collected.compare(start, prefix.size(), prefix) == 0) {
      return collected.substr(start + prefix.size(), end - start - prefix.size());
    }
    start = end + 1;
  }
  return std::string();
}

// One attempt by a fresh worker; retryable tells whether it failed before
// the service could have filed the report, and why.
UploadOutcome runUploadAttempt(const ReportSession& session, const UploadFollower& follower,
                               bool& retryable, long& retryAfter, std::string& reason) {
  UploadOutcome outcome;
  retryable = false;
  Child worker;
  int started = worker.start(
      [&session] {
        runUploadWorker(session.archivePath, session.archiveFd, session.contact,
                        session.productVersion, session.config);
      },
      false);
  if (started != 0) {
    outcome.error = worker.failure();
    outcome.errorNumber = worker.errorNumber();
    return outcome;
  }
  worker.forwardInterrupts();
  // A signal that came before the worker could be told stops it as well.
  if (pendingInterrupt()) worker.signal(SIGTERM);
  std::string collected;
  ChildState ended = worker.waitCollecting(
      &outcome.waitStatus, collected, [&follower](const std::string& text, size_t& scanPos) {
        int percent = 0;
        while (nextUploadPercent(text, scanPos, percent)) {
          if (follower.percent) follower.percent(percent);
        }
      });
  int waitErrno = errno;
  setInterruptTarget(0);
  bool accepted = ended == ChildState::kExited && outcome.waitStatus == 0;
  if (pendingInterrupt() && !accepted) {
    outcome.result = SubmitResult::kInterrupted;
    return outcome;
  }
  if (ended != ChildState::kExited) {
    outcome.result = SubmitResult::kWaitFailed;
    outcome.errorNumber = waitErrno;
    return outcome;
  }
  parseServerReply(collected, outcome.replyValues, outcome.replyMessage);
  outcome.result = workerResult(outcome.waitStatus);
  retryable = WIFEXITED(outcome.waitStatus) &&
              WEXITSTATUS(outcome.waitStatus) == static_cast<int>(WorkerExit::kRetryable);
  if (retryable) {
    retryAfter = strtol(firstWorkerValue(collected, "RETRY_AFTER").c_str(), nullptr, 10);
    reason = firstWorkerValue(collected, "RETRY_REASON");
  }
  return outcome;
}

}  // namespace

int retryPauseSeconds(int next, long retryAfter) {
  if (retryAfter > 0) {
    return static_cast<int>(retryAfter < kMaxRetryAfterSeconds ? retryAfter
                                                                : kMaxRetryAfterSeconds);
  }
  return next <= 2 ? 2 : 8;
}

std::string retryAnnouncement(const std::string& reason, int pauseSeconds, int next) {
  return "Upload failed (" + reason + "); trying again in " + std::to_string(pauseSeconds) +
         " s (attempt " + std::to_string(next) + " of " + std::to_string(kUploadAttempts) + ")";
}

UploadOutcome runUpload(const ReportSession& session, const UploadFollower& follower) {
  for (int attempt = 1;; ++attempt) {
    bool retryable = false;
    long retryAfter = 0;
    std::string reason;
    UploadOutcome outcome = runUploadAttempt(session, follower, retryable, retryAfter, reason);
    if (!retryable || attempt == kUploadAttempts) return outcome;
    int pause = retryPauseSeconds(attempt + 1, retryAfter);
    std::string line = retryAnnouncement(reason, pause, attempt + 1);
    logMessage("%s", line.c_str());
    if (follower.retry) follower.retry(line);
    if (!pauseUnlessInterrupted(pause)) {
      outcome.result = SubmitResult::kInterrupted;
      return outcome;
    }
  }
}

}  // namespace cvreport
