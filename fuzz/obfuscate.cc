// Obfuscator: whatever the names gathered and the text, replacing never
// fails, and the check before sending finds nothing of what was replaced.
// The first line names the site (comma-separated); the rest is the text.
#include <string>
#include <string_view>

#include "harness.h"
#include "obfuscate/obfuscator.h"

namespace {

// Plain lower-case words: no placeholder can be one, so finding one in the
// output means it slipped through.
bool plainWord(std::string_view name) {
  if (name.size() < 3) return false;
  for (char c : name) {
    if (c < 'a' || c > 'z') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t newline = input.find('\n');
  std::string_view names = input.substr(0, newline);
  std::string_view text = newline == std::string_view::npos ? std::string_view()
                                                            : input.substr(newline + 1);
  cvreport::ObfuscationMap map;
  cvreport::Obfuscator obfuscator(map);
  const cvreport::NameKind kinds[] = {cvreport::NameKind::kHost, cvreport::NameKind::kUser,
                                      cvreport::NameKind::kWord, cvreport::NameKind::kDomain,
                                      cvreport::NameKind::kGroup};
  size_t n = 0;
  while (!names.empty()) {
    size_t comma = names.find(',');
    std::string_view name = names.substr(0, comma);
    obfuscator.addName(plainWord(name) ? kinds[n++ % 3] : kinds[3 + n++ % 2], name);
    names.remove_prefix(comma == std::string_view::npos ? names.size() : comma + 1);
  }
  obfuscator.build();
  std::string once = obfuscator.apply(text);
  if (obfuscator.apply(text) != once) fuzz::fail("a second pass gave other placeholders");
  for (const auto& entry : obfuscator.survivingEntries(once)) {
    if (plainWord(entry.second) || entry.first.find("net") != std::string::npos) {
      fuzz::fail("an original survived", entry.first + " " + entry.second);
    }
  }
  return 0;
}
