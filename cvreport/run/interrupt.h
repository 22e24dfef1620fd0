// Signals that interrupt a report run: SIGINT (Ctrl-C), SIGTERM and SIGHUP.
// While a front end watches for them, a signal is recorded rather than
// ending cvreport at once, so that the run can stop its child, remove or
// keep its files and say what happened; and the signal is passed on to the
// child the front end named, which a signal sent to cvreport alone (or a
// Ctrl-C, for a child in a process group of its own) would not reach.
#pragma once

#include <sys/types.h>

#include <string>

namespace cvreport {

// Installs the handlers while a report's children run; a blocking call in
// progress returns with EINTR. Outside that time the signals keep the
// actions they had (a wizard page waiting for keys still ends on SIGTERM).
void watchInterrupts();
// Gives the signals back the actions they had before watchInterrupts; a
// signal already recorded stays pending.
void stopWatchingInterrupts();
// The signal received since watchInterrupts, 0 when none.
int pendingInterrupt();
// Waits seconds, or less when one of the signals is (or already was)
// received while they are watched: the wait ends at once, with no window in
// which a signal could slip by. False when a signal ended it.
bool pauseUnlessInterrupted(int seconds);
// Waits until fd has input (or its end, or an error) to read, on the same
// terms: false when a signal ended the wait.
bool waitForInputUnlessInterrupted(int fd);
// The child the next signal is passed on to: a pid, a negative process
// group, or 0 for none. The caller clears it once the child is reaped.
void setInterruptTarget(pid_t target);
// "SIGINT", "SIGTERM" or "SIGHUP".
const char* interruptName(int signalNumber);
// The one line both front ends show and log for an interrupted run.
std::string interruptedText(int signalNumber);
// In a forked child: the signals' default actions again, so that a signal
// ends the child as it would have before cvreport watched for them.
void resetInterruptHandling();

}  // namespace cvreport
