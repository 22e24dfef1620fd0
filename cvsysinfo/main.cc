// cvsysinfo: writes one XML document describing the host, its containers,
// the host node and the installed templates.
//
//   cvsysinfo [-j N] OUTPUT
//   cvsysinfo --diff [--all] [--format text|xml] OLD NEW
//   cvsysinfo --help | --version
#include <cvctl.h>
#include <getopt.h>
#include <libxml/parser.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "diff/diff_run.h"
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

void usage() {
  fprintf(stderr,
          "usage: cvsysinfo [-j N] OUTPUT   (N from 1 to %d)\n"
          "       cvsysinfo --diff [--all] [--format text|xml] OLD NEW\n",
          kMaxJobs);
}

void help() {
  printf("%s\n\n"
         "usage: cvsysinfo [-j N] OUTPUT\n"
         "       cvsysinfo --diff [--all] [--format text|xml] OLD NEW\n"
         "Writes an XML inventory of this Corvanta host to OUTPUT (\"-\": standard output),\n"
         "or tells what changed from inventory OLD to inventory NEW (one of them \"-\":\n"
         "standard input; status 0: nothing, 1: changes, 2: trouble).\n\n"
         "  -j N       capture N containers at once (1 to %d, default %d)\n"
         "  --diff     compare two inventories instead of writing one\n"
         "  --all      with --diff: report volatile values (usage figures, times) too\n"
         "  --format text|xml\n"
         "             with --diff: text for people (default) or the change document\n"
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

// What the options ask for: a run, a comparison, help or the version, or
// a usage error.
enum class Request { kRun, kDiff, kHelp, kVersion, kUsage };

struct Options {
  int jobs = kDefaultJobs;
  bool diff = false, diff_only = false;  // diff_only: --all or --format given
  cvsysinfo::DiffRequest compare{nullptr, nullptr};
};

bool read_format(const char* text, cvsysinfo::DiffFormat& format) {
  if (strcmp(text, "text") == 0) format = cvsysinfo::DiffFormat::kText;
  else if (strcmp(text, "xml") == 0) format = cvsysinfo::DiffFormat::kXml;
  else return false;
  return true;
}

// --diff wants exactly two documents, at most one of them standard input
// ("-"), and no -j; --all and --format go only with it.
Request check_operands(int argc, char** argv, Options& options) {
  if (!options.diff) return options.diff_only ? Request::kUsage : Request::kRun;
  if (argc - optind != 2 || options.jobs != kDefaultJobs) return Request::kUsage;
  if (strcmp(argv[optind], "-") == 0 && strcmp(argv[optind + 1], "-") == 0) return Request::kUsage;
  options.compare.old_path = argv[optind];
  options.compare.new_path = argv[optind + 1];
  return Request::kDiff;
}

Request read_options(int argc, char** argv, Options& options) {
  static const struct option kLong[] = {{"help", no_argument, nullptr, 'h'},
                                        {"version", no_argument, nullptr, 'V'},
                                        {"diff", no_argument, nullptr, 'd'},
                                        {"all", no_argument, nullptr, 'a'},
                                        {"format", required_argument, nullptr, 'f'},
                                        {nullptr, 0, nullptr, 0}};
  int option;
  // "+": the output path ends the options, so a path after it is never
  // taken for one ("-" is standard output, as it always was).
  while ((option = getopt_long(argc, argv, "+j:", kLong, nullptr)) != -1) {
    if (option == 'h') return Request::kHelp;
    if (option == 'V') return Request::kVersion;
    bool known = option == 'd' || option == 'a' || option == 'f' || option == 'j';
    if (!known || (option == 'j' && !read_jobs(optarg, options.jobs)) ||
        (option == 'f' && !read_format(optarg, options.compare.format)))
      return Request::kUsage;
    options.diff = options.diff || option == 'd';
    options.diff_only = options.diff_only || option == 'a' || option == 'f';
    options.compare.all = options.compare.all || option == 'a';
  }
  return check_operands(argc, argv, options);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  Request request = read_options(argc, argv, options);
  switch (request) {
    case Request::kHelp:
      help();
      return 0;
    case Request::kVersion:
      printf("%s\n", kBuild);
      return 0;
    case Request::kUsage:
      usage();
      // A comparison's trouble is 2, as diff's; an inventory run's is 1.
      return options.diff || options.diff_only ? cvsysinfo::kDiffTrouble : 1;
    case Request::kDiff:
      return cvsysinfo::run_diff(options.compare);
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
  bool written = cvsysinfo::makeXmlReport(argv[optind], options.jobs);
  xmlCleanupParser();
  cvctl_close();
  return written ? 0 : 1;
}
