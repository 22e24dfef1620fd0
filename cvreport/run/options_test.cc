#include "run/options.h"

#include <getopt.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/session.h"

namespace cvreport {
namespace {

ReportSession session;

RunMode parse(std::vector<std::string> args) {
  session = ReportSession();
  std::vector<char*> argv;
  std::string program = "cvreport";
  argv.push_back(&program[0]);
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  opterr = 0;
  return parseCommandLine(static_cast<int>(argv.size() - 1), argv.data(), session);
}

TEST(CommandLine, ChoosesTheMode) {
  struct {
    std::vector<std::string> args;
    RunMode mode;
  } cases[] = {
      {{}, RunMode::kWizard},
      {{"-q"}, RunMode::kWizard},
      {{"-p", "extra-operand"}, RunMode::kWizard},
      {{"-h"}, RunMode::kUsage},
      {{"-n", "A", "-c", "B", "-e", "C", "-s", "D", "-m", "E", "-h"}, RunMode::kUsage},
      {{"--bogus"}, RunMode::kUsage},
      {{"-n"}, RunMode::kUsage},
      {{"--version"}, RunMode::kVersion},
      {{"-n", "A", "--version"}, RunMode::kVersion},
      {{"--version", "--bogus"}, RunMode::kUsage},
      {{"-n", "A", "-c", "B", "-e", "C", "-s", "D"}, RunMode::kPartialContact},
      {{"-m", ""}, RunMode::kPartialContact},
      {{"-n", "", "-c", "", "-e", "", "-s", "", "-m", ""}, RunMode::kConsole},
      {{"--name=A", "--email", "C", "-c", "B", "op", "--subject=D", "--message", "E"},
       RunMode::kConsole},
      {{"--send", "a.tgz"}, RunMode::kSend}, {{"--send=a.tgz", "-s", "S"}, RunMode::kSend},
      {{"--send"}, RunMode::kUsage}, {{"--send=a.tgz", "--collect-only"}, RunMode::kUsage},
      {{"--kept"}, RunMode::kKept}, {{"--kept", "-n", "A"}, RunMode::kUsage},
      {{"--kept", "--send=a.tgz"}, RunMode::kUsage}, {{"--collect-only"}, RunMode::kWizard},
      {{"--collect-only", "-n", "A", "-c", "B", "-e", "C", "-s", "D", "-m", "E"},
       RunMode::kConsole},
      {{"--review", "-n", "A", "-c", "B", "-e", "C", "-s", "D", "-m", "E"}, RunMode::kConsole},
      {{"--review"}, RunMode::kUsage}, {{"--review", "--send=a.tgz"}, RunMode::kUsage},
      {{"--review", "--collect-only", "-n", "A", "-c", "B", "-e", "C", "-s", "D", "-m", "E"},
       RunMode::kUsage},
      {{"--obfuscate", "--review", "-n", "A", "-c", "B", "-e", "C", "-s", "D", "-m", "E"},
       RunMode::kConsole},
      {{"--obfuscate", "--collect-only"}, RunMode::kWizard},
      {{"--obfuscate", "--send=a.tgz"}, RunMode::kUsage},
      {{"--kept", "--obfuscate"}, RunMode::kUsage},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    EXPECT_EQ(parse(c.args), c.mode) << joined;
  }
}

TEST(CommandLine, FillsContactAndFlags) {
  ASSERT_EQ(parse({"-n", "First", "-q", "--name=Second", "-c", "Co", "-e", "e@x", "-s", "S",
                   "-m", "M", "--progress"}),
            RunMode::kConsole);
  const ContactInfo& c = session.contact;
  EXPECT_EQ(c.fullName, "Second");
  EXPECT_EQ(c.company, "Co");
  EXPECT_EQ(c.email, "e@x");
  EXPECT_EQ(c.subject, "S");
  EXPECT_EQ(c.description, "M");
  EXPECT_TRUE(session.quiet);
  EXPECT_TRUE(session.progress);
}

}  // namespace
}  // namespace cvreport
