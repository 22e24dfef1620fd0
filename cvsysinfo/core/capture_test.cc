#include "core/capture.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/command.h"
#include "core/embed_xml.h"
#include "core/spawn.h"
#include "scratch_dir.h"
#include "core/test_writer.h"

namespace cvsysinfo {
namespace {

std::vector<std::string>* collected = nullptr;
void collect(LineParser*, char* line) { collected->push_back(line); }

std::vector<std::string> lines_of(const char* command, int* status = nullptr) {
  std::vector<std::string> lines;
  collected = &lines;
  LineParser parser{nullptr, collect, nullptr};
  int rc = run_command_parser(command, &parser);
  if (status) *status = rc;
  return lines;
}

TEST(SplitLines, DeliveryRules) {
  struct {
    std::string input;
    std::vector<std::string> lines;
    std::string rest;
  } cases[] = {
      {"a\r\n\r\nb\n", {"a", "b"}, ""},
      {"a\nb", {"a"}, "b"},
      {"\nx\n", {"", "x"}, ""},
      {"no end", {}, "no end"},
      {"", {}, ""},
  };
  for (auto& c : cases) {
    std::vector<std::string> lines;
    collected = &lines;
    LineParser parser{nullptr, collect, nullptr};
    std::string buffer = c.input;
    size_t rest = split_lines(&buffer[0], buffer.size(), &parser);
    EXPECT_EQ(lines, c.lines) << c.input;
    EXPECT_EQ(buffer.substr(0, rest), c.rest) << c.input;
  }
}

TEST(RunCommandParser, LinesStatusAndLimits) {
  int status = -1;
  EXPECT_EQ(lines_of("printf 'a\\r\\n\\r\\nb\\n'", &status), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(status, 0);
  // The last line arrives with or without its line end.
  struct {
    const char* command;
    std::vector<std::string> lines;
  } endings[] = {
      {"printf 'one\\ntwo'", {"one", "two"}},
      {"printf 'one\\ntwo\\r'", {"one", "two"}},
      {"printf 'only'", {"only"}},
      {"printf ''", {}},
  };
  for (auto& c : endings) EXPECT_EQ(lines_of(c.command, &status), c.lines) << c.command;
  EXPECT_EQ(status, 0);
  lines_of("echo x; exit 3", &status);
  EXPECT_EQ(WEXITSTATUS(status), 3);
  // A line that fills the whole buffer stops the parse; the command is
  // reaped even though it would go on writing.
  std::vector<std::string> lines = lines_of("echo first; head -c 5000 /dev/zero | tr '\\0' x; yes", &status);
  EXPECT_EQ(lines, std::vector<std::string>{"first"});
  EXPECT_EQ(status, 1);
  // Lines spanning reads arrive whole.
  lines = lines_of("seq 1 3000");
  ASSERT_EQ(lines.size(), 3000u);
  EXPECT_EQ(lines[2999], "3000");
}

// Whether the process has ended: gone, or a zombie not reaped yet.
bool ended(pid_t pid) {
  if (kill(pid, 0) != 0 && errno == ESRCH) return true;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string fields;
  std::getline(stat, fields);
  size_t state = fields.rfind(") ");
  return state != std::string::npos && fields.compare(state + 2, 1, "Z") == 0;
}

// Whether one of the `expected` pids the command's processes wrote to
// `file` is still running five seconds after the run has returned: a
// killed process may take a moment to go.
bool still_there(const std::string& file, size_t expected) {
  std::vector<pid_t> pids;
  std::ifstream in(file);
  for (pid_t pid = 0; in >> pid;) pids.push_back(pid);
  if (pids.size() != expected) return true;
  for (int tries = 0; tries < 500; ++tries) {
    bool all = true;
    for (pid_t pid : pids) all = all && pid > 0 && ended(pid);
    if (all) return false;
    usleep(10000);
  }
  return true;
}

TEST(RunCommandParser, EndlessOutputIsCappedAndTheCommandKilled) {
  cvtest::ScratchDir scratch;
  std::string pid_file = scratch.file("pid");
  // 80 MB in lines of 4001 bytes from a shell that ignores the closed pipe
  // and has a helper printing with it for ever, then a wait that holds the
  // pipe open: only killing them all ends the run.
  std::string command = "echo $$ >" + pid_file +
                        "; trap '' PIPE; (while :; do echo helper; done) & echo $! >>" + pid_file +
                        "; i=0; while [ $i -lt 20000 ]; do printf '%04000d\\n' 0; i=$((i + 1)); done;"
                        " exec sleep 30";
  size_t count = 0;
  size_t bytes = 0;
  struct Tally {
    size_t* count;
    size_t* bytes;
  } tally{&count, &bytes};
  LineParser parser{nullptr,
                    [](LineParser* p, char* line) {
                      auto* t = static_cast<Tally*>(p->context);
                      ++*t->count;
                      *t->bytes += strlen(line) + 1;
                    },
                    &tally};
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_command_parser(command.c_str(), &parser), 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_LE(bytes, kMaxCommandOutput);
  EXPECT_GT(bytes, kMaxCommandOutput - 2 * 4001);
  EXPECT_FALSE(still_there(pid_file, 2));
  EXPECT_EQ(err, "Output of '" + command + "' is longer than " + std::to_string(kMaxCommandOutput) +
                     " bytes, not read to its end\n");
}

// What a command leaves running when it ends goes with it: it would hold
// the caller's standard error open for as long as it liked. One that holds
// the pipe too is stopped at the time limit, and what was printed stays
// (tried only in builds with a short limit: tools/sanitize.sh).
TEST(ReadCommandOutput, HelpersLeftRunningAreStopped) {
  cvtest::ScratchDir scratch;
  std::string pid_file = scratch.file("pid");
  std::vector<std::string> helpers = {">/dev/null"};
  if (kCommandTimeout.count() <= 10) helpers.push_back("");
  for (const std::string& helper_output : helpers) {
    std::string command = "(exec sleep " + std::to_string(kCommandTimeout.count() * 3) + ") " + helper_output +
                          " & echo $! >" + pid_file + "; echo done";
    std::string out;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(read_command_output(command.c_str(), out));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "done\n");
    EXPECT_FALSE(still_there(pid_file, 1)) << command;
    EXPECT_EQ(err.find("did not end within") != std::string::npos, helper_output.empty()) << err;
  }
}

TEST(ReadCommandOutput, WholeOutputAnySize) {
  std::string out;
  ASSERT_TRUE(read_command_output("printf 'x\\n'", out));
  EXPECT_EQ(out, "x\n");
  ASSERT_TRUE(read_command_output("head -c 100000 /dev/zero | tr '\\0' y", out));
  EXPECT_EQ(out, std::string(100000, 'y'));
  ASSERT_TRUE(read_command_output("true", out));
  EXPECT_EQ(out, "");
}

TEST(ReadCommandOutput, OutputThatNeverEndsIsGivenUp) {
  std::string out;
  ASSERT_TRUE(read_command_output(
      ("head -c " + std::to_string(kMaxCommandOutput) + " /dev/zero").c_str(), out));
  EXPECT_EQ(out.size(), kMaxCommandOutput);
  EXPECT_FALSE(read_command_output(
      ("head -c " + std::to_string(kMaxCommandOutput + 1) + " /dev/zero").c_str(), out));
  EXPECT_TRUE(out.empty());
  // A line without end, for ever: given up, and the tool is stopped.
  EXPECT_FALSE(read_command_output("yes | tr -d '\\n'", out));
  EXPECT_TRUE(out.empty());
}

TEST(AddCommandOut, WritesEscapedWholeOutput) {
  TestWriter w;
  add_command_out(w.get(), "printf '<a> & b\\n'", "Out");
  add_command_out(w.get(), "true", "Empty");
  EXPECT_EQ(w.text(), "<Out>&lt;a&gt; &amp; b\n</Out><Empty></Empty>");
}

TEST(ProcAndSysFiles, Texts) {
  cvtest::ScratchDir scratch;
  const std::string& d = scratch.path();
  scratch.write("two", "line1\nline2\n");
  scratch.write("nolf", "whole");
  scratch.write("empty", "");
  TestWriter w;
  add_proc_file(w.get(), (d + "/two").c_str(), "P");
  add_proc_file(w.get(), (d + "/empty").c_str(), "E");
  add_proc_file(w.get(), (d + "/missing").c_str(), "M");
  int fd = open(d.c_str(), O_RDONLY | O_DIRECTORY);
  add_sys_file(w.get(), fd, "two");
  add_sys_file(w.get(), fd, "nolf");
  add_sys_file(w.get(), fd, "absent");
  close(fd);
  EXPECT_EQ(w.text(), "<P>line1\nline2\n</P><E/><M>Unable to open file " + d +
                          "/missing</M><two>line1\nline2</two><nolf>whole</nolf>"
                          "<absent>Unable to open file absent</absent>");
}

TEST(MakeXmlName, ReplacesAllButAsciiAlnum) {
  struct {
    std::string in, out;
  } cases[] = {{"Storage Driver", "Storage_Driver"}, {"%CPU", "_CPU"}, {"caf\xc3\xa9", "caf__"},
               {"A1", "A1"}, {"", ""}};
  for (auto& c : cases) {
    std::string text = c.in;
    make_xml_name(&text[0]);
    EXPECT_EQ(text, c.out);
  }
}

TEST(ShellQuote, OnlyWhatNeedsIt) {
  EXPECT_EQ(shell_quote("/var/lib/cv/root/101"), "/var/lib/cv/root/101");
  EXPECT_EQ(shell_quote("0123abcd"), "0123abcd");
  EXPECT_EQ(shell_quote(""), "");
  EXPECT_EQ(shell_quote("x; touch /tmp/owned"), "'x; touch /tmp/owned'");
  EXPECT_EQ(shell_quote("it's"), "'it'\\''s'");
  std::string out;
  ASSERT_TRUE(read_command_output(("printf '%s' " + shell_quote("a'$(id)`b` \"c\"")).c_str(), out));
  EXPECT_EQ(out, "a'$(id)`b` \"c\"");
}

TEST(EmbedXml, CopiesElementsAttributesAndTextAndClosesBrokenOutput) {
  TestWriter w;
  embed_xml(w.get(),
            "<?xml version=\"1.0\"?>\n<!-- c --><check a=\"1\" b=\"&lt;\">\n  <item x=\"y\"/>\n"
            "  <item>t&amp;</item><![CDATA[skip]]>\n</check>");
  embed_xml(w.get(), "<broken><open><inner>text");
  embed_xml(w.get(), "not xml at all");
  EXPECT_EQ(w.text(),
            "<check a=\"1\" b=\"&lt;\"><item x=\"y\"/><item>t&amp;</item></check>"
            "<broken><open><inner/></open></broken>");
}

TEST(EmbedXml, AttributesThatBecomeOneNameAreWrittenOnce) {
  TestWriter w;
  embed_xml(w.get(), "<check xmlns=\"no uri\" b:c=\"1\" b_c=\"2\" xml:lang=\"en\" xml_lang=\"x\" d=\"3\"/>");
  EXPECT_EQ(w.text(), "<check _xmlns=\"no uri\" b_c=\"1\" xml_lang=\"en\" d=\"3\"/>");
}

TEST(Spawn, PlainCommandsAndShellCommandsReadTheSame) {
  std::string output;
  ASSERT_TRUE(read_command_output("printf %s,%s a b", output));
  EXPECT_EQ(output, "a,b");
  ASSERT_TRUE(read_command_output("/bin/echo -n x  y", output));
  EXPECT_EQ(output, "x y");
  // Started without the shell, the program reads stdin from /dev/null.
  ASSERT_TRUE(read_command_output("cat", output));
  EXPECT_EQ(output, "");
  // A program that is missing fails as it does under the shell: status 127,
  // the shell's complaint on stderr, nothing read.
  std::vector<std::string> lines;
  LineParser parser{nullptr, nullptr, nullptr};
  testing::internal::CaptureStderr();
  int status = run_command_parser("cvsysinfo-no-such-program --x", &parser);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 127) << status;
  EXPECT_NE(err.find("not found"), std::string::npos) << err;
  EXPECT_EQ(err.find("Failed to run"), std::string::npos) << err;
}

TEST(Spawn, ScriptsWithoutAnInterpreterLineRunUnderTheShell) {
  cvtest::ScratchDir scratch;
  std::string script = scratch.write("plain-script", "echo from-script \"$1\"\n", 0755);
  std::string output;
  EXPECT_TRUE(read_command_output((script + " arg").c_str(), output));
  EXPECT_EQ(output, "from-script arg\n");
}

}  // namespace
}  // namespace cvsysinfo
