// Starting the collector script, which fills the files directory and packs
// the archive, writing its progress lines on its stdout.
#pragma once

#include <string>
#include <vector>

#include "submit/child.h"

namespace cvreport {

// What both front ends say when the collector failed.
inline constexpr char kCollectFailedText[] =
    "A fatal error occured while collecting the information";

// Parent only; the child execs the program or logs why not and exits with
// 255. -1 as forkWithPipe.
int startCollector(ChildProcess& child, const char* path, char* const argv[],
                   bool nonBlockingRead);
// As startCollector, for a collector that runs beside a full-screen
// interface: it leads a process group of its own, so that killChildGroup
// stops it together with everything it started, and it reads /dev/null
// rather than the terminal.
int startCollectorInOwnGroup(ChildProcess& child, const char* path, char* const argv[],
                             bool nonBlockingRead);

// The collector's command line: the program, "-d" when its progress lines
// are wanted, the directory it fills.
std::vector<std::string> collectorArguments(const std::string& collectorPath,
                                            bool progressLines, const std::string& filesDir);
// Starts the collector with such a list, its output pipe non-blocking; -1 as
// forkWithPipe.
int launchCollector(ChildProcess& child, const std::vector<std::string>& arguments,
                    bool ownGroup);

}  // namespace cvreport
