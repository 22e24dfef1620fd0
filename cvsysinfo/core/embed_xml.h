// A tool's own XML output, copied element by element into the document,
// names and texts made safe on the way.
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

namespace cvsysinfo {

// The tool's own XML copied into the document; nothing when it could not
// be run, and only what came before the first error of broken output.
void add_command_xml(xmlTextWriterPtr writer, const char* command);
// Embeds an XML text as add_command_xml does with a tool's output.
void embed_xml(xmlTextWriterPtr writer, const std::string& xml);

}  // namespace cvsysinfo
