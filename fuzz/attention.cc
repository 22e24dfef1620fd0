// AttentionScanner: every line of a collected file, whatever it holds, gets
// each rule at most once and in order, and the scan never reads past it.
#include <string_view>

#include "harness.h"
#include "submit/attention_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  cvreport::AttentionScanner scanner;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    std::vector<cvreport::AttentionRule> rules = scanner.scanLine(line);
    for (size_t i = 1; i < rules.size(); ++i) {
      if (rules[i - 1] >= rules[i]) fuzz::fail("rules repeated or out of order", std::string(line));
    }
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return 0;
}
