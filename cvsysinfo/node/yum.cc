#include "node/yum.h"

#include <string.h>

#include "core/report.h"

namespace cvsysinfo {
namespace {

struct YumLine {
  const char* prefix;
  const char* name;
  bool open;
  bool close;
  bool element;
};

const YumLine yum_lines[] = {
    {"Repo-id", "id", true, true, false},
    {"Repo-name", "name", false, false, false},
    {"Repo-revision", "revision", false, false, false},
    {"Repo-updated", "updated", false, false, false},
    {"Repo-pkgs", "pkgs", false, false, false},
    {"Repo-size", "size", false, false, false},
    {"Repo-mirrors", "mirrors", false, false, false},
    {"Repo-baseurl", "baseurl", false, false, false},
    {"Repo-expire", "expire", false, false, false},
    {"Repo-excluded", "excluded", false, false, false},
    {"Repo-metalink", "metalink", false, false, false},
    {"  Updated", "mupdated", false, false, false},
    {"repolist", "repolist", false, true, true},
    {"Yum Version", "version", false, true, true},
    {"Config time", "configtime", false, true, true},
    {"pkgsack time", "pkgsacktime", false, true, true},
};

const YumLine* findLine(const char* line, unsigned& index) {
  for (unsigned i = 0; i < sizeof yum_lines / sizeof yum_lines[0]; ++i) {
    if (strncmp(line, yum_lines[i].prefix, strlen(yum_lines[i].prefix)) == 0) {
      index = i;
      return &yum_lines[i];
    }
  }
  return nullptr;
}

// An attribute after the element's first child, or a second one of the same
// name, would end the program or break the document; such a line is dropped.
bool attributeFits(const YumState& state, unsigned index) {
  if (!state.repository_open && state.list_has_content) return false;
  return (state.attributes_written & (1u << index)) == 0;
}

}  // namespace

void yum_repolist_parser(LineParser* parser, char* line) {
  auto* state = static_cast<YumState*>(parser->context);
  unsigned index = 0;
  const YumLine* entry = findLine(line, index);
  if (!entry) return;
  xmlTextWriterPtr writer = parser->writer;
  if (entry->close && state->repository_open) {
    endElement(writer, "yum_repolist_parser", __LINE__);
    state->repository_open = false;
  }
  if (entry->open) {
    startElement(writer, "yum_repolist_parser", __LINE__, "Repository");
    state->repository_open = true;
    state->list_has_content = true;
    state->attributes_written = 0;
  }
  char* colon = strchr(line, ':');
  if (!colon) return;
  const char* value = colon[1] ? colon + 2 : colon + 1;
  if (entry->element) {
    writeElement(writer, "yum_repolist_parser", __LINE__, entry->name, value);
    state->list_has_content = true;
  } else if (attributeFits(*state, index)) {
    writeAttribute(writer, "yum_repolist_parser", __LINE__, entry->name, value);
    state->attributes_written |= 1u << index;
  }
}

void add_yum_repositories(xmlTextWriterPtr writer, const char* command) {
  startElement(writer, "add_yum_repositories", __LINE__, "YumRepositories");
  YumState state;
  LineParser parser{writer, yum_repolist_parser, &state};
  run_command_parser(command, &parser);
  if (state.repository_open) endElement(writer, "add_yum_repositories", __LINE__);
  endElement(writer, "add_yum_repositories", __LINE__);
}

void add_yum_repositories(xmlTextWriterPtr writer) { add_yum_repositories(writer, "yum repolist -v"); }

}  // namespace cvsysinfo
