// cvsysinfo: writes one XML document describing the host, its containers,
// the host node and the installed templates.
//
//   cvsysinfo [-j N] OUTPUT
#include <cvctl.h>
#include <libxml/parser.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "report.h"

namespace {

// Containers captured at once unless -j says otherwise.
constexpr int kDefaultJobs = 4;
constexpr int kMaxJobs = 256;

void usage() { fprintf(stderr, "usage: cvsysinfo [-j N] OUTPUT   (N from 1 to %d)\n", kMaxJobs); }

bool read_jobs(const char* text, int& jobs) {
  char* end;
  long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > kMaxJobs) return false;
  jobs = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int jobs = kDefaultJobs;
  int option;
  // "+": the output path ends the options, so a path after it is never
  // taken for one ("-" is standard output, as it always was).
  while ((option = getopt(argc, argv, "+j:")) != -1) {
    if (option != 'j' || !read_jobs(optarg, jobs)) {
      usage();
      return 1;
    }
  }
  if (optind >= argc) return 1;
  // The parser's globals are set up before any thread can reach them.
  xmlInitParser();
  int rc = cvctl_open();
  if (rc != 0) {
    fprintf(stderr, "Failed to initialize cvctl library, err = %d!\n", rc);
    return rc;
  }
  bool written = cvsysinfo::makeXmlReport(argv[optind], jobs);
  xmlCleanupParser();
  cvctl_close();
  return written ? 0 : 1;
}
