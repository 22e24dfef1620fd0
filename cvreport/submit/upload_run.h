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
  kTransferFailed,     // connection, proxy, TLS, a stall
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

// Called with each upload percentage the worker reports, in order.
using UploadFollower = std::function<void(int percent)>;

// Sends the session's archive and contact details through the upload
// worker and waits for it, handing its progress to follower. A signal
// (run/interrupt.h) stops the worker, so that no report is filed that the
// user would not see; a report the service has accepted stays accepted
// even when a signal came late. Silent but for what the child plumbing
// and the worker log; the front end reports the outcome.
UploadOutcome runUpload(const ReportSession& session, const UploadFollower& follower);

}  // namespace cvreport
