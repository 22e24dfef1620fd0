// add_conf: a shell-style configuration file with groups, quotes and masked
// personal values; and the unquoting and masking of one value.
#include <string.h>

#include <string>
#include <vector>

#include "core/conf.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemFile file;
  std::string text(reinterpret_cast<const char*>(data), size);
  fuzz::Document document;
  cvsysinfo::add_conf(document.writer(), file.hold(text));
  document.finish();

  // A first line past the limit: what follows the limit on it is dropped,
  // never read as a line of its own.
  std::string padded = "LONG=" + std::string(cvsysinfo::kMaxConfLine - 5, 'x');
  size_t line_end = text.find('\n');
  std::string rest = line_end == std::string::npos ? std::string() : text.substr(line_end);
  fuzz::Document overlong, expected;
  cvsysinfo::add_conf(overlong.writer(), file.hold(padded + text));
  cvsysinfo::add_conf(expected.writer(), file.hold(padded + rest));
  if (overlong.finish() != expected.finish()) fuzz::fail("the rest of a long line changed the document");

  // One value, as a line's text after the "=".
  std::vector<char> value(text.begin(), text.end());
  value.push_back('\0');
  size_t before = strlen(value.data());
  cvsysinfo::unquote_conf_value(value.data());
  if (strlen(value.data()) > before) fuzz::fail("unquoting made a value longer");
  cvsysinfo::mask_conf_value(value.data());
  for (const char* p = value.data(); *p; ++p) {
    if (*p != '.' && *p != ';') fuzz::fail("personal data survived masking", value.data());
    if (p[0] == '.' && p[1] == '.') fuzz::fail("a run masked as more than one dot", value.data());
  }
  return 0;
}
