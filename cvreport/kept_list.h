// cvreport --kept: the reports kept under /var/lib/cvreport/kept, each with
// the command that sends it.
#pragma once

namespace cvreport {

// Prints the kept reports on stdout; the process's exit status.
int runKeptList();

}  // namespace cvreport
