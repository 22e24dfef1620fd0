// The owner of one report run: what the run takes from the host is given
// back when the owner goes, on every path out of a front end.
#pragma once

#include <sys/types.h>

#include <string>

#include "run/session.h"

namespace cvreport {

// Holds the run's work directory under /tmp, the network library and the
// interrupt watch. Its destructor stops the watch, removes the work
// directory unless session.keepWorkDir, and ends the network library; in a
// forked child (which ends with exitChild and so never gets here) it does
// nothing.
class ReportRun {
 public:
  explicit ReportRun(ReportSession& session);
  ReportRun(const ReportRun&) = delete;
  ReportRun& operator=(const ReportRun&) = delete;
  ~ReportRun();

  // Opens the log, checks that the configuration and the collector are
  // root's alone, loads the configuration and checks its addresses, makes
  // the work directory and starts the network library, filling the
  // session; -1 with the reason in message. A log that is not used (a
  // link, not a regular file) and a configuration line over the limit are
  // named in session.startWarnings, and the run goes on. Logs "Session
  // started" only; the front end reports a failure.
  int start(std::string* message);
  // As start, for sending an archive made earlier: no work directory, and
  // the collector is neither checked nor needed.
  int startSending(std::string* message);
  // Whether there is a work directory to remove.
  bool hasWorkDir() const { return madeWorkDir_; }
  // From here SIGINT, SIGTERM and SIGHUP are recorded and passed on to the
  // interrupt target (run/interrupt.h) until stopWatchingInterrupts or the
  // end of the run.
  void watchInterrupts();
  void stopWatchingInterrupts();
  // Gives everything back now, as the destructor would (a front end that
  // shows a notice meanwhile); the destructor then has nothing left to do.
  // Silent: a directory that will not go is left behind.
  void release();

 private:
  int startNetwork(std::string* message);

  ReportSession& session_;
  pid_t owner_;
  char workDir_[sizeof kWorkDirTemplate];
  bool madeWorkDir_ = false;
  bool networkStarted_ = false;
  bool watching_ = false;
};

// The sentence that asks the reporter to send a kept archive by hand.
std::string manualSendHint(const std::string& archivePath);
// The command that sends the archive, its path quoted for the shell when it
// needs to be.
std::string sendLaterCommand(const std::string& archivePath);
// The line after manualSendHint: the exact command that sends the archive
// later, the path quoted for the shell when it needs to be.
std::string sendLaterHint(const std::string& archivePath);
// Both lines, for an archive a failed or interrupted upload kept.
std::string keptArchiveHint(const std::string& archivePath);
// What a run that only collects says at its end: where the archive is and
// the command that sends it.
std::string collectedOnlyText(const std::string& archivePath);

}  // namespace cvreport
