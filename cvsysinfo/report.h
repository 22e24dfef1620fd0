// The inventory document as a whole: its file and the order of its
// sections.
#pragma once

namespace cvsysinfo {

// Writes the document to output_path ("-" for standard output) through
// OutputFile (core/output_file.h: what is written into, what replaced).
// False when the file cannot be made or put in place, reported here (the
// writer's failure on stdout, as it has always been); a writer failure, a
// failed write included, ends the process (check_xml_rc) and removes the
// new file, as SIGINT, SIGTERM and SIGHUP do. `jobs` containers are
// captured at once; the document is the same for any number. The document
// element carries the host's name, the run's start (UTC) and the kit's
// version, as the attributes host, time and version.
bool makeXmlReport(const char* output_path, int jobs);

}  // namespace cvsysinfo
