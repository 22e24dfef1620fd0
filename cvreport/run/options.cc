#include "run/options.h"

#include <getopt.h>
#include <unistd.h>

#include <string>


namespace cvreport {
namespace {

constexpr int kAllContactOptions = kContactGivenName | kContactGivenCompany |
                                   kContactGivenEmail | kContactGivenSubject |
                                   kContactGivenDescription;
// Long only.
constexpr int kVersionOption = 256;
constexpr int kSendOption = 257;
constexpr int kCollectOnlyOption = 258;
constexpr int kKeptOption = 259;
constexpr int kReviewOption = 260;
constexpr int kObfuscateOption = 261;

// Set by the build: the kit's version, and which platform libraries
// cvsysinfo was linked with (cvreport itself never calls them).
#ifndef CVREPORT_KIT_VERSION
#define CVREPORT_KIT_VERSION "unknown"
#endif
#ifndef CVREPORT_PLATFORM_LIBRARIES
#define CVREPORT_PLATFORM_LIBRARIES "unknown"
#endif

const char kUsageText[] =
    "Usage: cvreport [-h] [-q] [-p] [-n <name>  -c <company>  -e <email>\n"
    "                                -s <subject>  -m <problem_description>]\n"
    "       cvreport --review [-p] [--obfuscate] <contact options>\n"
    "       cvreport --collect-only [-q] [-p] [--obfuscate] [contact options]\n"
    "       cvreport --send ARCHIVE [-q] [contact options to replace]\n"
    "       cvreport --kept\n"
    "\n"
    "  -q, --quiet\t\t\tdo not display additional information\n"
    "  -p, --progress\t\tdisplay additional progress information\n"
    "  -n NAME, --name=NAME\t\tthe reporter's full name\n"
    "  -c COMPANY, --company=COMPANY\tthe reporter's company\n"
    "  -e EMAIL, --email=EMAIL\tthe reporter's e-mail address\n"
    "  -s SUBJECT, --subject=SUBJECT\tthe report subject\n"
    "  -m DESCRIPTION, --message=DESCRIPTION  the problem description\n"
    "      --review\t\t\tlook through the report and choose what leaves\n"
    "      --obfuscate\t\treplace host names, addresses and user names\n"
    "      --collect-only\t\tcollect and keep the report without sending it\n"
    "      --send=ARCHIVE\t\tsend a report archive kept or collected earlier\n"
    "      --kept\t\t\tlist the kept reports and how to send them\n"
    "  -h, --help\t\t\tdisplay this help and exit\n"
    "      --version\t\t\tdisplay the kit's version and platform libraries, and exit\n";

const struct option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"quiet", no_argument, nullptr, 'q'},
    {"progress", no_argument, nullptr, 'p'},
    {"name", required_argument, nullptr, 'n'},
    {"company", required_argument, nullptr, 'c'},
    {"email", required_argument, nullptr, 'e'},
    {"subject", required_argument, nullptr, 's'},
    {"message", required_argument, nullptr, 'm'},
    {"version", no_argument, nullptr, kVersionOption},
    {"send", required_argument, nullptr, kSendOption},
    {"collect-only", no_argument, nullptr, kCollectOnlyOption},
    {"kept", no_argument, nullptr, kKeptOption},
    {"review", no_argument, nullptr, kReviewOption},
    {"obfuscate", no_argument, nullptr, kObfuscateOption},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

void printUsage(FILE* stream) {
  fwrite(kUsageText, 1, sizeof kUsageText - 1, stream);
  fflush(stream);
}

void printVersion(FILE* stream) {
  fputs("cvreport " CVREPORT_KIT_VERSION " (Corvanta problem report kit)\n"
        "Platform libraries: " CVREPORT_PLATFORM_LIBRARIES "\n",
        stream);
  fflush(stream);
}

void printPartialContactError() {
  fputs("Error: All contact information and problem description\n"
        "       arguments are mandatory.\n",
        stderr);
  printUsage(stderr);
}

RunMode parseCommandLine(int argc, char** argv, ReportSession& s) {
  ContactInfo& contact = s.contact;
  int mask = 0;
  bool version = false;
  bool send = false;
  bool kept = false;
  optind = 0;  // glibc: a full restart of the scan
  int opt;
  while ((opt = getopt_long(argc, argv, "hqpn:c:e:s:m:", kLongOptions, nullptr)) != -1) {
    switch (opt) {
      case 'q': s.quiet = true; break;
      case 'p': s.progress = true; break;
      case 'n': contact.fullName = optarg; mask |= kContactGivenName; break;
      case 'c': contact.company = optarg; mask |= kContactGivenCompany; break;
      case 'e': contact.email = optarg; mask |= kContactGivenEmail; break;
      case 's': contact.subject = optarg; mask |= kContactGivenSubject; break;
      case 'm': contact.description = optarg; mask |= kContactGivenDescription; break;
      case kVersionOption: version = true; break;
      case kSendOption: send = true; s.sendPath = optarg; break;
      case kCollectOnlyOption: s.collectOnly = true; break;
      case kKeptOption: kept = true; break;
      case kReviewOption: s.review = true; break;
      case kObfuscateOption: s.obfuscate = true; break;
      default: return RunMode::kUsage;
    }
  }
  s.contactGiven = mask;
  if (version) return RunMode::kVersion;
  // One job a run: sending an archive, listing kept ones and collecting
  // without sending do not mix.
  // The review is the console's: --send and --collect-only have no moment
  // between collecting and sending, and the wizard has a page of its own.
  if (send + kept + s.collectOnly + s.review > 1) return RunMode::kUsage;
  // A kept or earlier archive is sent as it is: it is not collected here.
  if (s.obfuscate && (send || kept)) return RunMode::kUsage;
  if (kept) return mask == 0 ? RunMode::kKept : RunMode::kUsage;
  if (send) return RunMode::kSend;
  if (mask == kAllContactOptions) return RunMode::kConsole;
  if (s.review && mask == 0) return RunMode::kUsage;
  if (mask != 0) return RunMode::kPartialContact;
  return RunMode::kWizard;
}

}  // namespace cvreport
