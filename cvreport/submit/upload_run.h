// The upload as both front ends run it: the worker started, followed and
// its ending told apart.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "run/session.h"

namespace cvreport {

enum class SubmitResult {
  kAccepted,           // the service took the report
  kNotStarted,         // the worker could not start: error, errorNumber
  kWaitFailed,         // waiting for the worker failed: errorNumber
  kInterrupted,        // a signal came before the service had the report
  kRefused,            // an error status, or a reply not the service's own
  kVersionUnreadable,  // the release file names no version
  kNothingSent,        // no address, or no libcurl handle
  kTransferFailed,     // connection, proxy, TLS, a stall; or every attempt failed
                       // before the service could have filed the report
  kReplyTimedOut,      // the reply did not end in time
  kWorkerFailed,       // the worker died or could not set itself up
};

struct UploadOutcome {
  SubmitResult result = SubmitResult::kNotStarted;
  int waitStatus = 0;
  // The worker's output: the reply's values and its text for the user (the
  // reason, when the upload failed).
  std::map<std::string, std::string> replyValues;
  std::string replyMessage;
  std::string error;
  int errorNumber = -1;
};

// What a front end shows of an upload under way; either may be empty.
struct UploadFollower {
  // Each upload percentage an attempt reports, in order.
  std::function<void(int percent)> percent;
  // The one line announcing another attempt, before its pause.
  std::function<void(const std::string& line)> retry;
};

// Attempts in all when the service cannot have filed the report.
inline constexpr int kUploadAttempts = 3;
// The most of a pause the service can ask for with Retry-After.
inline constexpr int kMaxRetryAfterSeconds = 60;

// The pause before attempt next (2, 3, ...): 2 s, then 8 s, or the
// service's Retry-After (seconds, 0: none) up to kMaxRetryAfterSeconds.
int retryPauseSeconds(int next, long retryAfter);
// "Upload failed (REASON); trying again in N s (attempt NEXT of 3)".
std::string retryAnnouncement(const std::string& reason, int pauseSeconds, int next);

// Sends the session's archive and contact details through the upload
// worker and waits for it, handing its progress to follower. An attempt
// that failed before the service could have filed the report is made
// again, each by a fresh worker, up to kUploadAttempts, each retry
// announced to follower and after its pause. A signal
// (run/interrupt.h) stops the worker, so that no report is filed that the
// user would not see, and ends a pause at once; a report the service has
// accepted stays accepted even when a signal came late. Silent but for
// what the child plumbing and the worker log (and each retry, logged);
// the front end reports the outcome.
UploadOutcome runUpload(const ReportSession& session, const UploadFollower& follower);

}  // namespace cvreport
