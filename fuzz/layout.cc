// layoutText: any text at any width the callers could pass.
#include <algorithm>
#include <string>

#include "harness.h"
#include "submit/layout.h"

namespace {

bool isWordByte(unsigned char c) { return c == '\t' || c > 32; }

// The bytes of all words, in order, with the tabs as the spaces they become.
std::string wordBytes(const std::string& text) {
  std::string out;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u == '\t') continue;
    if (isWordByte(u)) out += c;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  int width = 1 + data[0] % 96;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string prefix = "kept\tbefore\n";
  std::string out = prefix;
  int lines = cvreport::layoutText(out, text, width);
  if (out.compare(0, prefix.size(), "kept before\n") != 0) fuzz::fail("text already held was changed");
  std::string added = out.substr(prefix.size());
  if (lines != static_cast<int>(std::count(added.begin(), added.end(), '\n'))) {
    fuzz::fail("line count differs from the lines made");
  }
  if (!added.empty() && added.back() != '\n') fuzz::fail("last line not ended");
  if (added.find('\t') != std::string::npos) fuzz::fail("a tab survived");
  size_t start = 0;
  while (start < added.size()) {
    size_t end = added.find('\n', start);
    if (end - start > static_cast<size_t>(width)) fuzz::fail("line wider than the wrap width", added);
    start = end + 1;
  }
  std::string spaced = added;
  spaced.erase(std::remove(spaced.begin(), spaced.end(), ' '), spaced.end());
  spaced.erase(std::remove(spaced.begin(), spaced.end(), '\n'), spaced.end());
  if (spaced != wordBytes(text)) fuzz::fail("words lost, gained or reordered", added);
  return 0;
}
