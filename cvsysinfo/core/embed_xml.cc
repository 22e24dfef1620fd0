#include "core/embed_xml.h"

#include <libxml/xmlreader.h>

#include <string>
#include <vector>

#include "core/capture.h"
#include "core/owners.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

// What copying one node did to the elements left open.
enum class OpenChange { kOpened, kNone, kClosed };

const char* as_text(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

OpenChange copy_node(const SectionWriter& out, xmlTextReaderPtr reader) {
  switch (xmlTextReaderNodeType(reader)) {
    case XML_READER_TYPE_ELEMENT: {
      out.start(as_text(xmlTextReaderConstName(reader)));
      bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
      while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
        out.attribute(as_text(xmlTextReaderConstName(reader)), as_text(xmlTextReaderConstValue(reader)));
      }
      if (!empty) return OpenChange::kOpened;
      out.end();
      return OpenChange::kNone;
    }
    case XML_READER_TYPE_END_ELEMENT:
      out.end();
      return OpenChange::kClosed;
    case XML_READER_TYPE_TEXT: {
      const xmlChar* value = xmlTextReaderConstValue(reader);
      if (value) out.text(as_text(value));
      return OpenChange::kNone;
    }
    default:
      // Comments, processing instructions, CDATA, whitespace and the
      // document type are not copied.
      return OpenChange::kNone;
  }
}

}  // namespace

void embed_xml(xmlTextWriterPtr writer, const std::string& xml) {
  // A tool that printed nothing has nothing to embed; the reader would only
  // complain on stderr.
  if (xml.empty()) return;
  XmlReaderOwner reader(xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()), "noname.xml", nullptr, 0));
  if (!reader) return;
  SectionWriter out(writer, "add_command_xml");
  int open = 0;
  // The reader can hand out nodes again after an error; nothing after the
  // first error is copied.
  while (xmlTextReaderRead(reader.get()) == 1) {
    switch (copy_node(out, reader.get())) {
      case OpenChange::kOpened:
        ++open;
        break;
      case OpenChange::kClosed:
        --open;
        break;
      case OpenChange::kNone:
        break;
    }
  }
  // Output that broke off leaves elements open; they are closed here so that
  // the sections after this one keep their place in the document.
  for (; open > 0; --open) out.end();
}

void add_command_xml(xmlTextWriterPtr writer, const char* command) {
  std::string output;
  if (!read_command_output(command, output)) return;
  embed_xml(writer, output);
}

}  // namespace cvsysinfo
