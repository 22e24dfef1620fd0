// The yum repositories of the host ("YumRepositories").
#pragma once

#include <libxml/xmlwriter.h>

#include "core/capture.h"

namespace cvsysinfo {

// The parser's state across the lines of one "yum repolist -v" run.
struct YumState {
  bool repository_open = false;
  // Once YumRepositories holds anything, no attribute can go on it.
  bool list_has_content = false;
  // The table entries already written as attributes of the open element.
  unsigned attributes_written = 0;
};

// "YumRepositories", empty when yum cannot be run (run_command_parser
// prints why).
void add_yum_repositories(xmlTextWriterPtr writer);
// The same with another command, for the tests.
void add_yum_repositories(xmlTextWriterPtr writer, const char* command);
// Repository lines become attributes of "Repository", summary lines
// elements (context: YumState); a line that would break the document is
// dropped.
void yum_repolist_parser(LineParser* parser, char* line);

}  // namespace cvsysinfo
