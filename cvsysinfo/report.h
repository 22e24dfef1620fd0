// The inventory document as a whole: its file and the order of its
// sections.
#pragma once

namespace cvsysinfo {

// Writes the document to output_path ("-" for standard output). A file that
// cannot be opened is reported on stdout and leaves no document; a writer
// failure, a failed write included, ends the process (check_xml_rc).
void makeXmlReport(const char* output_path);

}  // namespace cvsysinfo
