#include <ctype.h>
#include <string.h>
#include <strings.h>

#include "core/containers.h"
#include "core/report.h"

namespace cvsysinfo {
namespace {

// Columns that hold personal data are never written.
const char* const hidden_cvlist_columns[] = {
    "HOSTNAME", "IP_ADDR", "GATEWAY", "NAMESERVER", "WINSSERVER",
    "CLUSTERIP", "NAME", "DESCRIPTION", "REGOWNER", "REGORGANIZATION",
};

bool isHidden(const std::string& name) {
  for (const char* hidden : hidden_cvlist_columns) {
    if (strcasecmp(name.c_str(), hidden) == 0) return true;
  }
  return false;
}

bool isSpace(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

// Learns the columns from a header line; false when the line is no header.
bool readHeader(CvlistState& state, const char* line) {
  int length = static_cast<int>(strlen(line));
  std::vector<CvlistColumn> columns;
  int i = 0;
  while (i < length) {
    while (i < length && isSpace(line[i])) ++i;
    if (i == length) break;
    int start = i;
    while (i < length && !isSpace(line[i])) ++i;
    std::string word(line + start, static_cast<size_t>(i - start));
    if (columns.empty()) {
      if (word != "CTID" && word != "VEID") return false;
      word = "CTID";
    }
    make_xml_name(&word[0]);
    if (!columns.empty()) columns.back().end = start;
    columns.push_back({word, length});
  }
  if (columns.empty()) return false;
  state.columns = std::move(columns);
  state.column_count = static_cast<int>(state.columns.size());
  return true;
}

std::string trimmedCell(const char* line, int start, int end) {
  while (start < end && isSpace(line[start])) ++start;
  while (end > start && isSpace(line[end - 1])) --end;
  std::string cell(line + start, static_cast<size_t>(end - start));
  return cell == "-" ? std::string() : cell;
}

}  // namespace

void cvlist_parser(LineParser* parser, char* line) {
  auto* state = static_cast<CvlistState*>(parser->context);
  if (!*line) return;
  if (state->columns.empty()) {
    readHeader(*state, line);
    return;
  }
  xmlTextWriterPtr writer = parser->writer;
  startElement(writer, "cvlist_parser", __LINE__, "CT");
  int length = static_cast<int>(strlen(line));
  int position = 0;
  for (int c = 0; c < state->column_count && position < length; ++c) {
    const CvlistColumn& column = state->columns[static_cast<size_t>(c)];
    int end = c + 1 == state->column_count ? length : std::min(column.end, length);
    std::string cell = position < end ? trimmedCell(line, position, end) : std::string();
    if (!isHidden(column.name)) {
      writeElement(writer, "cvlist_parser", __LINE__, column.name.c_str(), cell);
    }
    position = std::max(position, end);
  }
  endElement(writer, "cvlist_parser", __LINE__);
}

void add_cvlist(xmlTextWriterPtr writer) {
  startElement(writer, "add_cvlist", __LINE__, "CVLIST");
  CvlistState state;
  LineParser parser{writer, cvlist_parser, &state};
  run_command_parser("cvlist -a -o ctid,numproc,status,layout", &parser);
  endElement(writer, "add_cvlist", __LINE__);
}

}  // namespace cvsysinfo
