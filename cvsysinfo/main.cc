// cvsysinfo: writes one XML document describing the host, its containers,
// the host node and the installed templates.
//
//   cvsysinfo [-j N] OUTPUT
//   cvsysinfo --help | --version
#include <cvctl.h>
#include <getopt.h>
#include <libxml/parser.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "report.h"

namespace {

// Containers captured at once unless -j says otherwise.
constexpr int kDefaultJobs = 4;
constexpr int kMaxJobs = 256;

// Set by the build: the kit's version, and whether the platform libraries
// linked are the simulation (platform/sim) or the platform's own.
// The same two lines as cvreport --version.
const char kBuild[] = "cvsysinfo " CV_KIT_VERSION " (Corvanta problem report kit)\n"
                      "Platform libraries: "
#if CV_PLATFORM_SIMULATED
                      "the simulation (not for production hosts)";
#else
                      "the platform's own";
#endif

void usage() { fprintf(stderr, "usage: cvsysinfo [-j N] OUTPUT   (N from 1 to %d)\n", kMaxJobs); }

void help() {
  printf("%s\n\n"
         "usage: cvsysinfo [-j N] OUTPUT\n"
         "Writes an XML inventory of this Corvanta host to OUTPUT (\"-\": standard output).\n\n"
         "  -j N       capture N containers at once (1 to %d, default %d)\n"
         "  --help     show this help and exit\n"
         "  --version  show the version and exit\n\n"
         "See cvsysinfo(8).\n",
         kBuild, kMaxJobs, kDefaultJobs);
}

bool read_jobs(const char* text, int& jobs) {
  char* end;
  long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > kMaxJobs) return false;
  jobs = static_cast<int>(value);
  return true;
}

// What the options ask for: a run, help or the version, or a usage error.
enum class Request { kRun, kHelp, kVersion, kUsage };

Request read_options(int argc, char** argv, int& jobs) {
  static const struct option kLong[] = {
      {"help", no_argument, nullptr, 'h'}, {"version", no_argument, nullptr, 'V'}, {nullptr, 0, nullptr, 0}};
  int option;
  // "+": the output path ends the options, so a path after it is never
  // taken for one ("-" is standard output, as it always was).
  while ((option = getopt_long(argc, argv, "+j:", kLong, nullptr)) != -1) {
    if (option == 'h') return Request::kHelp;
    if (option == 'V') return Request::kVersion;
    if (option != 'j' || !read_jobs(optarg, jobs)) return Request::kUsage;
  }
  return Request::kRun;
}

}  // namespace

int main(int argc, char** argv) {
  int jobs = kDefaultJobs;
  switch (read_options(argc, argv, jobs)) {
    case Request::kHelp:
      help();
      return 0;
    case Request::kVersion:
      printf("%s\n", kBuild);
      return 0;
    case Request::kUsage:
      usage();
      return 1;
    case Request::kRun:
      break;
  }
  if (optind >= argc) return 1;
  // The parser's globals are set up before any thread can reach them.
  xmlInitParser();
  int rc = cvctl_open();
  if (rc != 0) {
    fprintf(stderr, "Failed to initialize cvctl library, err = %d!\n", rc);
    fprintf(stderr, "cvsysinfo: the Corvanta platform does not answer on this host; no inventory was written\n");
    return rc;
  }
  bool written = cvsysinfo::makeXmlReport(argv[optind], jobs);
  xmlCleanupParser();
  cvctl_close();
  return written ? 0 : 1;
}
