// cvreport --send ARCHIVE: uploads a report archive that an earlier run kept
// or that --collect-only made, on this host or any other that can reach the
// service. As a front end it logs and prints every outcome itself.
#pragma once

namespace cvreport {

// Sends reportSession.sendPath; the process's exit status (the console's
// numbers, 128 plus the signal's for an interrupted run).
int runSendReport();

}  // namespace cvreport
