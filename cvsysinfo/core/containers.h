// The container table of the platform's list tool ("CVLIST") and one
// element per container ("CONTAINERS").
#pragma once

#include <libxml/xmlwriter.h>

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

void add_cvlist(xmlTextWriterPtr writer);
void cvlist_parser(LineParser* parser, char* line);
void add_containers(xmlTextWriterPtr writer);
void df_space_parser(LineParser* parser, char* line);
void df_inodes_parser(LineParser* parser, char* line);

// The fields of a df line, split at white space; a blank at either end gives
// an empty first or last field.
std::vector<std::string> split_df_fields(const char* line);

}  // namespace cvsysinfo
