#include "run/text.h"

#include <stdio.h>

namespace cvreport {
namespace {

void appendEscaped(std::string& out, unsigned char byte) {
  char code[5];
  snprintf(code, sizeof code, "\\x%02x", byte);
  out += code;
}

// The length of the valid UTF-8 sequence at text[at] (overlong forms,
// surrogates and code points past U+10FFFF are not valid); 0 when none.
size_t utf8SequenceLength(const std::string& text, size_t at) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t length;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    unsigned char byte = static_cast<unsigned char>(text[at + i]);
    if (i == 1 ? (byte < low || byte > high) : (byte < 0x80 || byte > 0xbf)) return 0;
  }
  return length;
}

}  // namespace

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

namespace cvreport {

std::string printableText(const std::string& text, LineBreaks breaks) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x7f) {
      out += static_cast<char>(byte);
      ++at;
      continue;
    }
    if (byte == '\t') {
      out += ' ';
    } else if (byte == '\n' || byte == '\r') {
      if (breaks == LineBreaks::kSpace) {
        out += ' ';
      } else if (byte == '\n') {
        out += '\n';
      } else if (at + 1 < text.size() && text[at + 1] == '\n') {
        // A CRLF line end is a line end; only a CR on its own could
        // overwrite what the line showed.
      } else {
        appendEscaped(out, byte);
      }
    } else if (byte >= 0x80) {
      size_t length = utf8SequenceLength(text, at);
      // U+0080 to U+009F, the C1 controls, are c2 80 to c2 9f.
      bool c1 = length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0;
      if (length > 0 && !c1) {
        out.append(text, at, length);
        at += length;
        continue;
      }
      if (c1) {
        appendEscaped(out, byte);
        appendEscaped(out, static_cast<unsigned char>(text[at + 1]));
        at += 2;
        continue;
      }
      appendEscaped(out, byte);
    } else {
      appendEscaped(out, byte);
    }
    ++at;
  }
  return out;
}

std::string byteSizeText(long long bytes) {
  static const char* const kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double value = static_cast<double>(bytes);
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

}  // namespace cvreport
