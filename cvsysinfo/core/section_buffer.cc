#include "core/section_buffer.h"

#include <limits.h>

#include <algorithm>

#include "core/xml_writer.h"

namespace cvsysinfo {

SectionBuffer::SectionBuffer() : buffer_(xmlBufferCreate()) {
  if (buffer_) writer_.reset(xmlNewTextWriterMemory(buffer_.get(), 0));
  if (!writer_) check_xml_rc("SectionBuffer", __LINE__, -1);
  // Without the document's encoding the writer would write characters
  // beyond ASCII in attributes as references, and the copy would differ.
  check_xml_rc("SectionBuffer", __LINE__, xmlTextWriterStartDocument(writer_.get(), nullptr, "UTF-8", nullptr));
  check_xml_rc("SectionBuffer", __LINE__, xmlTextWriterFlush(writer_.get()));
  declaration_ = static_cast<size_t>(xmlBufferLength(buffer_.get()));
}

std::string SectionBuffer::finish() {
  check_xml_rc("SectionBuffer", __LINE__, xmlTextWriterFlush(writer_.get()));
  writer_.reset();
  const char* content = reinterpret_cast<const char*>(xmlBufferContent(buffer_.get()));
  size_t length = static_cast<size_t>(xmlBufferLength(buffer_.get()));
  std::string section = length > declaration_ ? std::string(content + declaration_, length - declaration_) : std::string();
  buffer_.reset();
  return section;
}

void write_section(xmlTextWriterPtr writer, const std::string& section) {
  // xmlTextWriterWriteRawLen takes an int length.
  size_t done = 0;
  do {
    size_t piece = std::min(section.size() - done, static_cast<size_t>(INT_MAX / 2));
    check_xml_rc("write_section", __LINE__,
                 xmlTextWriterWriteRawLen(writer, reinterpret_cast<const xmlChar*>(section.data() + done),
                                          static_cast<int>(piece)));
    done += piece;
  } while (done < section.size());
}

}  // namespace cvsysinfo
