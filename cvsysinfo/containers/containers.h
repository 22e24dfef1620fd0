// The container table of the platform's list tool ("CVLIST") and one
// element per container ("CONTAINERS").
#pragma once

#include <libxml/xmlwriter.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "core/capture.h"

namespace cvsysinfo {

struct CvlistColumn {
  std::string name;
  int end;  // offset of the next header word; the last column's is the line length
};

struct CvlistState {
  std::vector<CvlistColumn> columns;
  int column_count = 0;
};

// The list tool's table, one "CT" per row; a tool that cannot be run
// leaves CVLIST empty (run_command_parser prints why).
void add_cvlist(xmlTextWriterPtr writer);
// Learns the columns from the first header line (context: CvlistState),
// then writes each row.
void cvlist_parser(LineParser* parser, char* line);
// How many containers the platform listed (the host's own, 0 and 1, left
// out) and how many of them it said were running.
struct ContainerCounts {
  uint32_t total = 0;
  uint32_t running = 0;
};

// The global configuration and every container; a failure of the
// platform library is printed here and leaves CONTAINERS short. `jobs`
// containers are captured at once (1: one after another); the document
// and cvsysinfo's own messages come out the same, in listing order.
ContainerCounts add_containers(xmlTextWriterPtr writer, int jobs);
// A df line of six fields as "DiskSpace" or "Inodes"; other lines give
// nothing.
void df_space_parser(LineParser* parser, char* line);
void df_inodes_parser(LineParser* parser, char* line);

}  // namespace cvsysinfo
