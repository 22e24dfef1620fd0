#include "node/yum.h"

#include <string.h>

#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

struct YumLine {
  const char* prefix;
  const char* name;
  bool open;
  bool close;
  bool element;
};

const YumLine kYumLines[] = {
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

const YumLine* find_line(const char* line, unsigned& index) {
  for (unsigned i = 0; i < sizeof kYumLines / sizeof kYumLines[0]; ++i) {
    if (strncmp(line, kYumLines[i].prefix, strlen(kYumLines[i].prefix)) == 0) {
      index = i;
      return &kYumLines[i];
    }
  }
  return nullptr;
}

// An attribute after the element's first child, or a second one of the same
// name, would end the program or break the document; such a line is dropped.
bool attribute_fits(const YumState& state, unsigned index) {
  if (!state.repository_open && state.list_has_content) return false;
  return (state.attributes_written & (1u << index)) == 0;
}

}  // namespace

void yum_repolist_parser(LineParser* parser, char* line) {
  auto* state = static_cast<YumState*>(parser->context);
  unsigned index = 0;
  const YumLine* entry = find_line(line, index);
  if (!entry) return;
  SectionWriter out(parser->writer, "yum_repolist_parser");
  if (entry->close && state->repository_open) {
    out.end();
    state->repository_open = false;
  }
  if (entry->open) {
    out.start("Repository");
    state->repository_open = true;
    state->list_has_content = true;
    state->attributes_written = 0;
  }
  char* colon = strchr(line, ':');
  if (!colon) return;
  const char* value = colon[1] ? colon + 2 : colon + 1;
  if (entry->element) {
    out.element(entry->name, value);
    state->list_has_content = true;
  } else if (attribute_fits(*state, index)) {
    out.attribute(entry->name, value);
    state->attributes_written |= 1u << index;
  }
}

void add_yum_repositories(xmlTextWriterPtr writer, const char* command) {
  SectionWriter out(writer, "add_yum_repositories");
  out.start("YumRepositories");
  YumState state;
  LineParser parser{writer, yum_repolist_parser, &state};
  run_command_parser(command, &parser);
  if (state.repository_open) out.end();
  out.end();
}

void add_yum_repositories(xmlTextWriterPtr writer) { add_yum_repositories(writer, "yum repolist -v"); }

}  // namespace cvsysinfo
