#include "core/text.h"

#include <ctype.h>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

#include "core/xml_safe.h"

namespace cvsysinfo {

bool is_blank(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

std::string trim(const std::string& text) { return boost::algorithm::trim_copy_if(text, is_blank); }

char* skip_indent(char* line) {
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  boost::algorithm::split(fields, line, is_blank, boost::algorithm::token_compress_on);
  return fields;
}

std::string printable_line(const std::string& text) {
  std::string out;
  // XML's own mending makes it UTF-8 and leaves only tab, LF and CR of C0.
  if (!mend_xml_text(text.data(), text.size(), out)) out = text;
  std::string line;
  line.reserve(out.size());
  for (size_t at = 0; at < out.size(); ++at) {
    unsigned char byte = static_cast<unsigned char>(out[at]);
    bool c1 = byte == 0xc2 && at + 1 < out.size() && static_cast<unsigned char>(out[at + 1]) < 0xa0;
    if (byte == '\t' || byte == '\n' || byte == '\r') {
      line += ' ';
    } else if (byte == 0x7f || c1) {
      line += '?';
      at += c1 ? 1 : 0;
    } else {
      line += static_cast<char>(byte);
    }
  }
  return line;
}

}  // namespace cvsysinfo
