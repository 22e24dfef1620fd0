// A section written on memory, away from the document, and copied into it
// later: the containers captured at once are written in their turn. The
// copy is byte for byte what writing the section straight into the
// document gives (the document's writer does not indent, and this one
// escapes as the document's does).
#pragma once

#include <libxml/xmlwriter.h>

#include <memory>
#include <string>

#include "core/owners.h"

namespace cvsysinfo {

class SectionBuffer {
 public:
  // A writer failure here, as everywhere, ends the process (check_xml_rc).
  SectionBuffer();
  xmlTextWriterPtr writer() const { return writer_.get(); }
  // What was written since the buffer was made; the writer is done then.
  std::string finish();

 private:
  // Declared first: the writer, freed before it, flushes into it.
  XmlBufferOwner buffer_;
  XmlWriterOwner writer_;
  // The XML declaration the writer wrote to learn the document's encoding.
  size_t declaration_ = 0;
};

// Copies a finished section into the document where its writer stands.
void write_section(xmlTextWriterPtr writer, const std::string& section);

}  // namespace cvsysinfo
