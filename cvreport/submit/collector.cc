#include "submit/collector.h"

#include <fcntl.h>
#include <unistd.h>

#include "run/log.h"

namespace cvreport {
namespace {

// Both sides set the group, so that it exists whichever runs first.
void leaveTerminalGroup(ChildProcess& child) {
  if (child.pid > 0) {
    setpgid(child.pid, child.pid);
    return;
  }
  setpgid(0, 0);
  redirectToDevNull(STDIN_FILENO, O_RDONLY);
}

int startCollectorProcess(ChildProcess& child, const char* path, char* const argv[],
                          bool nonBlockingRead, bool ownGroup) {
  int result = forkWithPipe(child, nonBlockingRead);
  if (ownGroup && result == 0) leaveTerminalGroup(child);
  if (child.pid != 0) return result;
  if (result == 0) {
    execv(path, argv);
    logMessage("Error: Can't execute an information collector: %m");
  }
  _exit(255);
}

}  // namespace

int startCollector(ChildProcess& child, const char* path, char* const argv[],
                   bool nonBlockingRead) {
  return startCollectorProcess(child, path, argv, nonBlockingRead, false);
}

int startCollectorInOwnGroup(ChildProcess& child, const char* path, char* const argv[],
                             bool nonBlockingRead) {
  return startCollectorProcess(child, path, argv, nonBlockingRead, true);
}

std::vector<std::string> collectorArguments(const std::string& collectorPath,
                                            bool progressLines, const std::string& filesDir) {
  std::vector<std::string> arguments{collectorPath};
  if (progressLines) arguments.push_back("-d");
  arguments.push_back(filesDir);
  return arguments;
}

int launchCollector(ChildProcess& child, const std::vector<std::string>& arguments,
                    bool ownGroup) {
  std::vector<std::string> words = arguments;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  return startCollectorProcess(child, words[0].c_str(), argv.data(), true, ownGroup);
}

}  // namespace cvreport
