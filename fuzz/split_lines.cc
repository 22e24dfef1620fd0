// The command runner's line splitter: run_command_parser over any output a
// tool can print, through the real read loop and its 4096-byte buffer.
#include <string.h>

#include <string>
#include <vector>

#include "core/capture.h"
#include "harness.h"

namespace {

void collect(cvsysinfo::LineParser* parser, char* line) {
  static_cast<std::vector<std::string>*>(parser->context)->emplace_back(line);
}

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The non-empty lines the output holds, the last one with or without its
// line end, each cut at a zero byte as the callback sees it, and whether a
// run of 4096 bytes or more without a line end (which stops the parse)
// occurs.
std::vector<std::string> expectedLines(const std::string& out, bool& overlong) {
  std::vector<std::string> lines;
  overlong = false;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = start;
    while (end < out.size() && !isLineEnd(out[end])) ++end;
    if (end - start >= 4096) overlong = true;
    if (end == out.size() && overlong) break;
    // The last line counts even without a line end.
    std::string line = out.substr(start, end - start);
    line.resize(strlen(line.c_str()));
    if (!line.empty()) lines.push_back(line);
    while (end < out.size() && isLineEnd(out[end])) ++end;
    start = end;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string output(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> delivered;
  cvsysinfo::LineParser parser{nullptr, collect, &delivered};
  int status;
  {
    fuzz::ToolScope tool([&](const std::string&) { return output; }, 0);
    status = cvsysinfo::run_command_parser("tool", &parser);
  }
  bool overlong;
  std::vector<std::string> expected = expectedLines(output, overlong);
  std::vector<std::string> nonEmpty;
  for (const std::string& line : delivered) {
    if (line.find_first_of("\r\n") != std::string::npos) fuzz::fail("a line holds a line end", line);
    if (!line.empty()) nonEmpty.push_back(line);
  }
  if (status != (overlong ? 1 : 0)) fuzz::fail("wrong result for the output");
  if (nonEmpty.size() > expected.size()) fuzz::fail("more lines delivered than printed");
  for (size_t i = 0; i < nonEmpty.size(); ++i) {
    if (nonEmpty[i] != expected[i]) fuzz::fail("a line changed on its way", nonEmpty[i]);
  }
  if (!overlong && nonEmpty.size() != expected.size()) fuzz::fail("a finished line was not delivered");
  return 0;
}
