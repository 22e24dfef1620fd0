#include "submit/reply.h"

#include "run/text.h"

namespace cvreport {
namespace {

bool isBlankLine(const std::string& text, size_t start, size_t end) {
  for (size_t i = start; i < end; ++i) {
    if (!isBlankByte(text[i])) return false;
  }
  return true;
}

}  // namespace

void parseServerReply(const std::string& text, std::map<std::string, std::string>& values,
                      std::string& message) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    if (isBlankLine(text, start, end)) {
      // Every later line goes into the message, joined by newlines.
      std::string rest = text.substr(next);
      if (!rest.empty() && rest.back() != '\n') rest += '\n';
      message += rest;
      if (!message.empty()) message.pop_back();
      return;
    }
    size_t eq = text.find('=', start);
    if (eq < end) {
      // "=" is not blank, so trimming the line's end never reaches the key.
      size_t valueEnd = end;
      while (isBlankByte(text[valueEnd - 1])) --valueEnd;
      values[text.substr(start, eq - start)] = text.substr(eq + 1, valueEnd - eq - 1);
    }
    start = next;
  }
}

}  // namespace cvreport
