#include "submit/layout.h"

#include <algorithm>
#include <vector>

namespace cvreport {
namespace {

// A tab is a word byte, so a tab put in front of a word indents it.
bool isWordByte(unsigned char c) { return c == '\t' || c > 32; }

std::vector<std::string> splitWords(const std::string& paragraph) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < paragraph.size()) {
    while (i < paragraph.size() && !isWordByte(paragraph[i])) ++i;
    size_t start = i;
    while (i < paragraph.size() && isWordByte(paragraph[i])) ++i;
    if (i > start) words.push_back(paragraph.substr(start, i - start));
  }
  return words;
}

int layoutParagraph(std::string& out, const std::string& paragraph, size_t width) {
  std::vector<std::string> words = splitWords(paragraph);
  if (words.empty()) {
    out += '\n';
    return 1;
  }
  int lines = 0;
  size_t next = 0;
  std::string carry;  // the rest of a word cut at the wrap width
  while (!carry.empty() || next < words.size()) {
    std::string line = carry.empty() ? words[next++] : std::move(carry);
    carry.clear();
    if (line.size() > width) {
      carry = line.substr(width);
      line.resize(width);
    } else {
      while (next < words.size() && line.size() + 1 + words[next].size() <= width) {
        line += ' ';
        line += words[next++];
      }
    }
    out += line;
    out += '\n';
    ++lines;
  }
  return lines;
}

}  // namespace

int layoutText(std::string& out, const std::string& text, int wrapWidth) {
  size_t width = static_cast<size_t>(std::max(wrapWidth, 1));
  int lines = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines += layoutParagraph(out, text.substr(start, end - start), width);
    start = end + 1;
  }
  std::replace(out.begin(), out.end(), '\t', ' ');
  return lines;
}

}  // namespace cvreport
