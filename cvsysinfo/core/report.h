// The inventory document: its writer, the one error convention of every
// writer call, and the put functions the sections write through.
#pragma once

#include <libxml/xmlwriter.h>
#include <stdint.h>

#include <string>

namespace cvsysinfo {

// Counted by the containers section, printed later by the node section.
extern uint32_t total_ct_count;
extern uint32_t running_ct_count;

// A negative writer result ends the process: "libxml err %d at %s:%u".
int check_xml_rc(const char* function, unsigned line, int rc);

int putElement(xmlTextWriterPtr writer, const char* name, const char* text);
int putElement(xmlTextWriterPtr writer, const char* name, uint64_t value);
int putStartElement(xmlTextWriterPtr writer, const char* name);
int putEndElement(xmlTextWriterPtr writer);

// The same writer calls under the caller's own name for check_xml_rc; every
// name and text is made safe for XML first (see xml_safe.h).
int writeElement(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name,
                 const char* text);
int writeElement(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name,
                 const std::string& text);
int startElement(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name);
int endElement(xmlTextWriterPtr writer, const char* function, unsigned line);
int writeAttribute(xmlTextWriterPtr writer, const char* function, unsigned line, const char* name,
                   const char* value);
int writeText(xmlTextWriterPtr writer, const char* function, unsigned line, const char* text);

void makeXmlReport(const char* outputPath);

}  // namespace cvsysinfo
