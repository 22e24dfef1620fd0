#include "core/text.h"

#include <ctype.h>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

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

}  // namespace cvsysinfo
