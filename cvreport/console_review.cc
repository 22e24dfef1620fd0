#include "console_review.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "run/interrupt.h"
#include "run/text.h"

namespace cvreport {
namespace {

// More than any configuration or log a reporter would read on a terminal;
// the rest of a bigger file is sent all the same.
constexpr size_t kViewMaxBytes = 4 * 1024 * 1024;
constexpr char kPrompt[] = "Review> ";
constexpr char kCommandsText[] =
    "Commands: list, view FILE, exclude FILE, include FILE, send, abort\n";

struct Session {
  const std::string& archivePath;
  const ReportReview& review;
  std::set<std::string>& excluded;
};

std::string shown(const std::string& text) { return printableText(text, LineBreaks::kSpace); }

const ReviewFile* findFile(const ReportReview& review, const std::string& name) {
  for (const ReviewFile& file : review.contents.files) {
    if (file.name == name) return &file;
  }
  return nullptr;
}

void printFiles(const Session& s) {
  const std::vector<ReviewFile>& files = s.review.contents.files;
  printf("The report holds %zu files:\n%10s  %6s  %9s  %s\n", files.size(), "Size", "Masked",
         "Attention", "File");
  for (const ReviewFile& file : files) {
    printf("%10s  %6zu  %9zu  %s%s\n", byteSizeText(file.size).c_str(), file.maskedValues,
           attentionIn(s.review, file.name).size(), shown(file.name).c_str(),
           s.excluded.count(file.name) ? "  [excluded]" : "");
  }
}

void printWithheld(const ReportReview& review) {
  if (review.contents.withheld.empty()) {
    puts("The collector withheld nothing.");
    return;
  }
  puts("Withheld by the collector:");
  for (const std::string& line : review.contents.withheld) printf("  %s\n", shown(line).c_str());
}

void printAttention(const ReportReview& review) {
  if (review.attention.empty()) {
    puts("No line needs your attention.");
    return;
  }
  puts("Lines that need your attention:");
  for (const AttentionHit& hit : review.attention) {
    printf("  %s:%zu: %s\n", shown(hit.file).c_str(), hit.line, attentionRuleName(hit.rule));
  }
  printf("(listed in %s, which stays on this host)\n", shown(review.attentionListPath).c_str());
}

void printList(const Session& s) {
  printFiles(s);
  printWithheld(s.review);
  printAttention(s.review);
  fputs(kCommandsText, stdout);
}

// Each line numbered, the attention lines marked with ">> " and their rule.
void viewFile(const Session& s, const ReviewFile& file) {
  std::string text;
  bool truncated = false;
  std::string message;
  if (readReportFile(s.archivePath, file.name, kViewMaxBytes, text, truncated, &message) != 0) {
    printf("%s\n", shown(message).c_str());
    return;
  }
  std::vector<AttentionHit> hits = attentionIn(s.review, file.name);
  printf("--- %s (%s)\n", shown(file.name).c_str(), byteSizeText(file.size).c_str());
  std::vector<std::string> lines = splitAt(text, '\n');
  if (!text.empty() && text.back() == '\n') lines.pop_back();
  size_t next = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string rules;
    for (; next < hits.size() && hits[next].line <= i + 1; ++next) {
      if (hits[next].line != i + 1) continue;
      rules += std::string(" [") + attentionRuleName(hits[next].rule) + "]";
    }
    printf("%s%6zu%s  %s\n", rules.empty() ? "   " : ">> ", i + 1, rules.c_str(),
           shown(lines[i]).c_str());
  }
  if (truncated) {
    printf("--- only the first %s are shown; the whole file is sent\n",
           byteSizeText(kViewMaxBytes).c_str());
  }
  printf("--- end of %s\n", shown(file.name).c_str());
}

// The files the report cannot go without: what the reporter wrote, and the
// record of what the archive holds (where an exclusion is written down).
bool isRequired(const std::string& name) {
  return name == "description" || name == kManifestMember;
}

void setExcluded(const Session& s, const ReviewFile& file, bool exclude) {
  if (!exclude) {
    s.excluded.erase(file.name);
    printf("%s will be sent.\n", shown(file.name).c_str());
  } else if (isRequired(file.name)) {
    printf("%s stays: the report cannot go without it.\n", shown(file.name).c_str());
  } else {
    s.excluded.insert(file.name);
    printf("%s will be left out of the report.\n", shown(file.name).c_str());
  }
}

// The reporter's lines, read from stdin's descriptor itself: a signal that
// comes while the prompt waits ends the wait, which stdio's buffered read
// could miss.
class LineReader {
 public:
  // One line without its line feed; false at the end of the input (a last
  // line without a line feed still counts) or when a signal cut the wait.
  bool next(std::string& line) {
    for (;;) {
      size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return true;
      }
      if (ended_ || !waitForInputUnlessInterrupted(STDIN_FILENO)) break;
      char chunk[512];
      ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) pending_.append(chunk, static_cast<size_t>(got));
      ended_ = got <= 0;
    }
    line.swap(pending_);
    pending_.clear();
    return !line.empty() && !pendingInterrupt();
  }

 private:
  std::string pending_;
  bool ended_ = false;
};

enum class Step { kGoOn, kSend, kKeepBack };

Step runCommand(const Session& s, std::string line) {
  trimBlank(line);
  size_t blank = line.find_first_of(" \t");
  std::string command = line.substr(0, blank);
  std::string argument = blank == std::string::npos ? "" : line.substr(blank + 1);
  trimBlank(argument);
  if (command == "send" && argument.empty()) return Step::kSend;
  if (command == "abort" && argument.empty()) return Step::kKeepBack;
  if (command == "list" && argument.empty()) {
    printList(s);
  } else if (command == "view" || command == "exclude" || command == "include") {
    const ReviewFile* file = findFile(s.review, argument);
    if (argument.empty()) {
      printf("Name the file: %s FILE\n", command.c_str());
    } else if (!file) {
      printf("The report has no file %s; \"list\" shows its files.\n", shown(argument).c_str());
    } else if (command == "view") {
      viewFile(s, *file);
    } else {
      setExcluded(s, *file, command == "exclude");
    }
  } else if (!command.empty()) {
    printf("Unknown command: %s\n%s", shown(command).c_str(), kCommandsText);
  }
  return Step::kGoOn;
}

}  // namespace

ReviewChoice runConsoleReview(const std::string& archivePath, const ReportReview& review,
                              std::set<std::string>& excluded) {
  Session s{archivePath, review, excluded};
  excluded.clear();
  printList(s);
  LineReader input;
  std::string line;
  for (;;) {
    fputs(kPrompt, stdout);
    fflush(stdout);
    if (!input.next(line)) {
      putchar('\n');
      return ReviewChoice::kKeepBack;
    }
    switch (runCommand(s, line)) {
      case Step::kGoOn: break;
      case Step::kSend: return ReviewChoice::kSend;
      case Step::kKeepBack: return ReviewChoice::kKeepBack;
    }
  }
}

std::string reviewRefusal(bool quiet) {
  if (quiet) return "Error: --review asks questions and cannot go with -q";
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    return "Error: --review needs a terminal on its input and output; without --review the "
           "report is sent unreviewed";
  }
  return "";
}

std::string attentionNotice(const ReportReview& review) {
  size_t count = review.attention.size();
  if (count == 0) return "";
  return std::to_string(count) + (count == 1 ? " line needs" : " lines need") +
         " your attention before this report leaves; the list is in " + review.attentionListPath;
}

}  // namespace cvreport
