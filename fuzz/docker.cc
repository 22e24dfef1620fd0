// Docker inside a container: "docker info" values, the image list and the
// container ids, each id handed back to "docker inspect" through the
// host's shell. Input parts: info, image lines (after awk), ids, the text
// every inspect prints.
#include <string>

#include "docker/docker.h"
#include "harness.h"

namespace {

bool harmless(char c) {
  static const std::string kHarmless =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./:@%+=,-";
  return kHarmless.find(c) != std::string::npos;
}

// An id reaches the shell as one word that nothing in it can end early:
// plain harmless bytes, or single quotes with "'\''" for a quote inside.
// A command over 255 bytes is never run, so none is ever cut inside its
// quotes.
void checkInspect(const std::string& command) {
  const std::string head = "cvctl exec 101 docker inspect ";
  if (command.compare(0, head.size(), head) != 0) fuzz::fail("unexpected command", command);
  std::string word = command.substr(head.size());
  if (command.size() > 255) fuzz::fail("command longer than its buffer", command);
  bool quoted = false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (quoted) {
      if (c == '\'') quoted = false;
      continue;
    }
    if (c == '\'') {
      quoted = true;
    } else if (c == '\\' && i + 1 < word.size() && word[i + 1] == '\'') {
      ++i;
    } else if (!harmless(c)) {
      fuzz::fail("an id reaches the shell unquoted", command);
    }
  }
  if (quoted) fuzz::fail("an id's quotes are not closed", command);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::splitParts(data, size, 4);
  fuzz::Document document;
  {
    fuzz::ToolScope tool([&](const std::string& command) -> std::string {
      if (command.find("docker --version") != std::string::npos) return "Docker version 1.6.2, build 7c8fca2\n";
      if (command.find("docker info") != std::string::npos) return parts[0];
      if (command.find("docker images") != std::string::npos) return parts[1];
      if (command.find("docker ps -a -q") != std::string::npos) return parts[2];
      checkInspect(command);
      return parts[3];
    });
    cvsysinfo::add_docker(document.writer(), 101);
  }
  document.finish();
  return 0;
}
