#include "submit/upload_run.h"

#include <errno.h>
#include <signal.h>
#include <sys/wait.h>

#include "run/interrupt.h"
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
    case WorkerExit::kSetupFailed:
      break;
  }
  return SubmitResult::kWorkerFailed;
}

}  // namespace

UploadOutcome runUpload(const ReportSession& session, const UploadFollower& follower) {
  UploadOutcome outcome;
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
        while (nextUploadPercent(text, scanPos, percent)) follower(percent);
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
  return outcome;
}

}  // namespace cvreport
