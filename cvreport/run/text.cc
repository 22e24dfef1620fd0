#include "run/text.h"

namespace cvreport {

bool isBlankByte(char c) { return static_cast<unsigned char>(c) <= 32; }

size_t trimBlank(std::string& value) {
  size_t start = 0;
  while (start < value.size() && isBlankByte(value[start])) ++start;
  size_t end = value.size();
  while (end > start && isBlankByte(value[end - 1])) --end;
  value = value.substr(start, end - start);
  return value.size();
}

std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    pieces.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return pieces;
    start = at + 1;
  }
}

}  // namespace cvreport
