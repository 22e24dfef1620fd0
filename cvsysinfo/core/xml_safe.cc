#include "core/xml_safe.h"

#include <libxml/tree.h>
#include <string.h>

namespace cvsysinfo {
namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

bool is_xml_char(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the valid UTF-8 sequence at p holding an XML character, or 0.
size_t valid_char_length(const unsigned char* p, size_t left) {
  unsigned char b = p[0];
  if (b < 0x80) return is_xml_char(b) ? 1 : 0;
  size_t length;
  uint32_t c;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    c = b & 0x07;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (p[i] & 0x3F);
  }
  // Overlong forms and surrogates are not valid UTF-8.
  if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF))) return 0;
  return is_xml_char(c) ? length : 0;
}

bool is_name_start(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }

}  // namespace

bool mend_xml_text(const char* text, size_t length, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  // The common case: plain printable ASCII needs no copy.
  while (i < length && p[i] >= 0x20 && p[i] < 0x80) ++i;
  if (i == length) return false;
  bool mended = false;
  std::string result(text, i);
  while (i < length) {
    size_t n = valid_char_length(p + i, length - i);
    if (n == 0) {
      result += kReplacement;
      mended = true;
      ++i;
    } else {
      result.append(text + i, n);
      i += n;
    }
  }
  if (mended) out.swap(result);
  return mended;
}

std::string xml_safe_name(const char* name) {
  std::string result = name ? name : "";
  // A colon would make the name a namespace prefix that nothing declares.
  for (char& c : result) {
    if (c == ':') c = '_';
  }
  // libxml2 takes a byte that is not UTF-8 for a Latin-1 letter and passes
  // the name, so only valid text may be trusted to its check.
  std::string mended;
  bool invalid_text = mend_xml_text(result.data(), result.size(), mended);
  if (!invalid_text && !result.empty() &&
      xmlValidateName(reinterpret_cast<const xmlChar*>(result.c_str()), 0) == 0 &&
      is_name_start(static_cast<unsigned char>(result[0]))) {
    return result;
  }
  if (invalid_text) result = mended;
  if (result.empty() || !is_name_start(static_cast<unsigned char>(result[0]))) result.insert(0, "_");
  if (xmlValidateName(reinterpret_cast<const xmlChar*>(result.c_str()), 0) == 0) return result;
  // Characters that no name may hold: keep ASCII letters, digits, "_", "-"
  // and "."; everything else (non-ASCII included) becomes "_".
  for (char& c : result) {
    unsigned char u = static_cast<unsigned char>(c);
    bool keep = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                u == '_' || u == '-' || u == '.';
    if (!keep) c = '_';
  }
  return result;
}

std::string xml_safe_text_c(const char* text) {
  std::string mended;
  return mend_xml_text(text, strlen(text), mended) ? mended : std::string(text);
}

}  // namespace cvsysinfo
