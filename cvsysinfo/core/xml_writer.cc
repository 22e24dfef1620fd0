#include "core/xml_writer.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <cinttypes>

#include "core/xml_safe.h"

namespace cvsysinfo {

namespace {

const xmlChar* as_xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The mended copy lives in `mended` when the text needed one.
const char* safe_text(const char* text, size_t length, std::string& mended) {
  return mend_xml_text(text, length, mended) ? mended.c_str() : text;
}

void (*writer_failure_hook)() = nullptr;

// libxml2 escapes a text into one copy of up to five times its size, so a
// long one is mended and escaped a piece at a time.
constexpr size_t kTextPiece = 64u << 10;

// Where the piece from `start` ends: before a byte that continues no UTF-8
// sequence, so that each piece is mended as the whole text would be.
size_t piece_end(const std::string& text, size_t start) {
  size_t end = start + kTextPiece;
  if (end >= text.size()) return text.size();
  for (size_t back = 0; back <= 3; ++back) {
    if ((static_cast<unsigned char>(text[end - back]) & 0xC0) != 0x80) return end - back;
  }
  // A longer run of continuation bytes is mended byte by byte anyway.
  return end;
}

}  // namespace

void on_writer_failure(void (*hook)()) { writer_failure_hook = hook; }

void check_xml_rc(const char* function, unsigned line, int rc) {
  if (rc >= 0) return;
  fprintf(stderr, "libxml err %d at %s:%u\n", rc, function, line);
  fflush(stderr);
  if (writer_failure_hook) writer_failure_hook();
  // The status is the writer's result; one that the system would show as 0
  // would report the broken document as a success.
  int status = rc & 0xff;
  _exit(status != 0 ? status : 1);
}

void SectionWriter::element(const char* name, const char* text, unsigned line) const {
  std::string safe_name = xml_safe_name(name);
  int rc;
  if (!text) {
    rc = xmlTextWriterStartElement(writer_, as_xml(safe_name.c_str()));
    if (rc >= 0) rc = xmlTextWriterEndElement(writer_);
  } else {
    std::string mended;
    rc = xmlTextWriterWriteElement(writer_, as_xml(safe_name.c_str()),
                                   as_xml(safe_text(text, strlen(text), mended)));
  }
  check_xml_rc(section_, line, rc);
}

void SectionWriter::element(const char* name, const std::string& text, unsigned line) const {
  if (text.size() > kTextPiece) {
    long_element(name, text, line);
    return;
  }
  std::string mended;
  const char* safe = mend_xml_text(text.data(), text.size(), mended) ? mended.c_str() : text.c_str();
  std::string safe_name = xml_safe_name(name);
  check_xml_rc(section_, line, xmlTextWriterWriteElement(writer_, as_xml(safe_name.c_str()), as_xml(safe)));
}

void SectionWriter::long_element(const char* name, const std::string& text, unsigned line) const {
  start(name, line);
  size_t done = 0;
  while (done < text.size()) {
    size_t stop = piece_end(text, done);
    std::string piece(text, done, stop - done);
    std::string mended;
    const char* safe = mend_xml_text(piece.data(), piece.size(), mended) ? mended.c_str() : piece.c_str();
    check_xml_rc(section_, line, xmlTextWriterWriteString(writer_, as_xml(safe)));
    done = stop;
  }
  end(line);
}

void SectionWriter::start(const char* name, unsigned line) const {
  attributes_.clear();
  std::string safe_name = xml_safe_name(name);
  check_xml_rc(section_, line, xmlTextWriterStartElement(writer_, as_xml(safe_name.c_str())));
}

void SectionWriter::end(unsigned line) const { check_xml_rc(section_, line, xmlTextWriterEndElement(writer_)); }

void SectionWriter::attribute(const char* name, const char* value, unsigned line) const {
  std::string safe_name = xml_safe_name(name);
  // Written as it stands, "xmlns" would move the element into a namespace
  // of the tool's choosing, and a value that is no URI breaks the document.
  if (safe_name == "xmlns") safe_name.insert(0, 1, '_');
  if (!attributes_.insert(safe_name).second) return;
  std::string mended;
  const char* text = value ? value : "";
  check_xml_rc(section_, line,
               xmlTextWriterWriteAttribute(writer_, as_xml(safe_name.c_str()),
                                           as_xml(safe_text(text, strlen(text), mended))));
}

void SectionWriter::text(const char* text, unsigned line) const {
  std::string mended;
  check_xml_rc(section_, line, xmlTextWriterWriteString(writer_, as_xml(safe_text(text, strlen(text), mended))));
}

void putElement(xmlTextWriterPtr writer, const char* name, const char* text) {
  SectionWriter(writer, "putElement").element(name, text);
}

void putElement(xmlTextWriterPtr writer, const char* name, uint64_t value) {
  char text[32];
  snprintf(text, sizeof text, "%" PRIu64, value);
  SectionWriter(writer, "putElement").element(name, text);
}

void putStartElement(xmlTextWriterPtr writer, const char* name) {
  SectionWriter(writer, "putStartElement").start(name);
}

void putEndElement(xmlTextWriterPtr writer) { SectionWriter(writer, "putEndElement").end(); }

}  // namespace cvsysinfo
