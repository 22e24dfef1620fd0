#include <string.h>
#include <strings.h>

#include "containers/containers.h"
#include "core/text.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

// Columns that hold personal data are never written.
const char* const kHiddenCvlistColumns[] = {
    "HOSTNAME", "IP_ADDR", "GATEWAY", "NAMESERVER", "WINSSERVER",
    "CLUSTERIP", "NAME", "DESCRIPTION", "REGOWNER", "REGORGANIZATION",
};

bool is_hidden(const std::string& name) {
  for (const char* hidden : kHiddenCvlistColumns) {
    if (strcasecmp(name.c_str(), hidden) == 0) return true;
  }
  return false;
}

// Learns the columns from a header line; false when the line is no header.
bool read_header(CvlistState& state, const char* line) {
  int length = static_cast<int>(strlen(line));
  std::vector<CvlistColumn> columns;
  int i = 0;
  while (i < length) {
    while (i < length && is_blank(line[i])) ++i;
    if (i == length) break;
    int start = i;
    while (i < length && !is_blank(line[i])) ++i;
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

// A cell of "-" is the tool's way of saying it has no value.
std::string trimmed_cell(const char* line, int start, int end) {
  std::string cell = trim(std::string(line + start, static_cast<size_t>(end - start)));
  return cell == "-" ? std::string() : cell;
}

}  // namespace

void cvlist_parser(LineParser* parser, char* line) {
  auto* state = static_cast<CvlistState*>(parser->context);
  if (!*line) return;
  if (state->columns.empty()) {
    read_header(*state, line);
    return;
  }
  SectionWriter out(parser->writer, "cvlist_parser");
  out.start("CT");
  int length = static_cast<int>(strlen(line));
  int position = 0;
  for (int c = 0; c < state->column_count && position < length; ++c) {
    const CvlistColumn& column = state->columns[static_cast<size_t>(c)];
    int end = c + 1 == state->column_count ? length : std::min(column.end, length);
    std::string cell = position < end ? trimmed_cell(line, position, end) : std::string();
    if (!is_hidden(column.name)) {
      out.element(column.name.c_str(), cell);
    }
    position = std::max(position, end);
  }
  out.end();
}

void add_cvlist(xmlTextWriterPtr writer) {
  SectionWriter out(writer, "add_cvlist");
  out.start("CVLIST");
  CvlistState state;
  LineParser parser{writer, cvlist_parser, &state};
  run_command_parser("cvlist -a -o ctid,numproc,status,layout", &parser);
  out.end();
}

}  // namespace cvsysinfo
