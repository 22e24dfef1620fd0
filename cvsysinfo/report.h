// The inventory document as a whole: its file and the order of its
// sections.
#pragma once

namespace cvsysinfo {

// Writes the document to output_path ("-" for standard output). A pipe or
// character device there is written into; anything else is replaced, once
// the document is complete, by a new file written beside it, so the path
// never holds a cut document and a link there is replaced, not followed.
// False when the file cannot be made or put in place, reported here (the
// writer's failure on stdout, as it has always been); a writer failure, a
// failed write included, ends the process (check_xml_rc) and removes the
// new file. `jobs` containers are captured at once; the document is the
// same for any number.
bool makeXmlReport(const char* output_path, int jobs);

}  // namespace cvsysinfo
