#include <libxml/xmlreader.h>

#include <set>
#include <string>
#include <vector>

#include "core/capture.h"
#include "core/report.h"
#include "core/xml_safe.h"

namespace cvsysinfo {
namespace {

const char* C(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

// Copies the node the reader stands on; returns the change in open elements.
int copyNode(xmlTextWriterPtr writer, xmlTextReaderPtr reader) {
  switch (xmlTextReaderNodeType(reader)) {
    case XML_READER_TYPE_ELEMENT: {
      startElement(writer, "add_command_xml", __LINE__, C(xmlTextReaderConstName(reader)));
      bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
      // Names that differ in the tool's output can become one once made
      // safe ("a:b" and "a_b"); a second attribute of one name would break
      // the document, so the first wins.
      std::set<std::string> written;
      while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
        const char* name = C(xmlTextReaderConstName(reader));
        if (!written.insert(xmlSafeName(name)).second) continue;
        writeAttribute(writer, "add_command_xml", __LINE__, name, C(xmlTextReaderConstValue(reader)));
      }
      if (!empty) return 1;
      endElement(writer, "add_command_xml", __LINE__);
      return 0;
    }
    case XML_READER_TYPE_END_ELEMENT:
      endElement(writer, "add_command_xml", __LINE__);
      return -1;
    case XML_READER_TYPE_TEXT: {
      const xmlChar* value = xmlTextReaderConstValue(reader);
      if (value) writeText(writer, "add_command_xml", __LINE__, C(value));
      return 0;
    }
    default:
      // Comments, processing instructions, CDATA, whitespace and the
      // document type are not copied.
      return 0;
  }
}

}  // namespace

void embed_xml(xmlTextWriterPtr writer, const std::string& xml) {
  // A tool that printed nothing has nothing to embed; the reader would only
  // complain on stderr.
  if (xml.empty()) return;
  xmlTextReaderPtr reader = xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()),
                                               "noname.xml", nullptr, 0);
  if (!reader) return;
  int open = 0;
  // The reader can hand out nodes again after an error; nothing after the
  // first error is copied.
  while (xmlTextReaderRead(reader) == 1) open += copyNode(writer, reader);
  // Output that broke off leaves elements open; they are closed here so that
  // the sections after this one keep their place in the document.
  for (; open > 0; --open) endElement(writer, "add_command_xml", __LINE__);
  xmlFreeTextReader(reader);
}

void add_command_xml(xmlTextWriterPtr writer, const char* command) {
  std::string output;
  if (!read_command_output(command, output)) return;
  embed_xml(writer, output);
}

}  // namespace cvsysinfo
