#include "node/storage.h"

#include <stdio.h>
#include <string.h>

#include <new>

#include "core/report.h"
#include "node/host.h"

namespace cvsysinfo {

const char* const dmraid_device_columns[] = {"path",   "format",  "raidname", "type",
                                             "status", "sectors", "offset",   nullptr};
const char* const dmraid_set_columns[] = {"type",   "format", "raidname", "status", "stride",
                                          "sectors", "subset", "devices",  "spares", nullptr};

namespace {

const char kMdadmFormat[] = "/sbin/mdadm -D -Y %s";

char* skipBlanks(char* line) {
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

void readLvmHeader(LvmState& state, char* line) {
  try {
    char* save = nullptr;
    for (char* piece = strtok_r(line, ":", &save); piece; piece = strtok_r(nullptr, ":", &save)) {
      make_xml_name(piece);
      state.columns.emplace_back(piece);
    }
  } catch (const std::bad_alloc&) {
    state.columns.assign(1, "no_mem");
  }
}

}  // namespace

void lvm_parser(LineParser* parser, char* line) {
  auto* state = static_cast<LvmState*>(parser->context);
  line = skipBlanks(line);
  if (state->columns.empty()) {
    readLvmHeader(*state, line);
    return;
  }
  xmlTextWriterPtr writer = parser->writer;
  startElement(writer, "lvm_parser", __LINE__, state->line_element);
  char* rest = line;
  for (const std::string& column : state->columns) {
    char* colon = strchr(rest, ':');
    if (colon) *colon = '\0';
    writeElement(writer, "lvm_parser", __LINE__, column.c_str(), rest);
    if (!colon) break;
    rest = colon + 1;
  }
  endElement(writer, "lvm_parser", __LINE__);
}

void add_lvm_list(xmlTextWriterPtr writer, const char* list_element, const char* command,
                  const char* line_element) {
  startElement(writer, "add_lvm_info", __LINE__, list_element);
  LvmState state{line_element, {}};
  LineParser parser{writer, lvm_parser, &state};
  run_command_parser(command, &parser);
  endElement(writer, "add_lvm_info", __LINE__);
}

void add_lvm_volumes(xmlTextWriterPtr writer) {
  add_lvm_list(writer, "volumes", "/sbin/lvs -o all --quiet --separator ':'", "volume");
}

void add_lvm_groups(xmlTextWriterPtr writer) {
  add_lvm_list(writer, "groups", "/sbin/vgs -o vg_all --quiet --separator ':'", "group");
}

void add_lvm_info(xmlTextWriterPtr writer) {
  startElement(writer, "add_lvm_info", __LINE__, "lvm");
  add_lvm_volumes(writer);
  add_lvm_groups(writer);
  endElement(writer, "add_lvm_info", __LINE__);
}

void mdadm_parser(LineParser* parser, char* line) {
  if (strstr(line, "Name") || strncmp(line, "MD_NAME", 7) == 0) return;
  line = skipBlanks(line);
  char* equals = strchr(line, '=');
  if (!*line || !equals) return;
  *equals = '\0';
  writeElement(parser->writer, "mdadm_parser", __LINE__, line, equals + 1);
}

void add_md_device(xmlTextWriterPtr writer, const char* device, const char* mdadm_format) {
  startElement(writer, "add_md_device", __LINE__, "device");
  writeElement(writer, "add_md_device", __LINE__, "name", device);
  std::string command;
  if (command_with_value(command, mdadm_format, device)) {
    LineParser parser{writer, mdadm_parser, nullptr};
    run_command_parser(command.c_str(), &parser);
  }
  endElement(writer, "add_md_device", __LINE__);
}

void add_md_device(xmlTextWriterPtr writer, const char* device) {
  add_md_device(writer, device, kMdadmFormat);
}

void add_md_info(xmlTextWriterPtr writer, const char* mount_table, const char* mdadm_format) {
  startElement(writer, "add_md_info", __LINE__, "software_raid");
  for_each_mount(mount_table, [&](const MountEntry& entry) {
    if (strncmp(entry.device, "/dev/md", 7) == 0) add_md_device(writer, entry.device, mdadm_format);
  });
  endElement(writer, "add_md_info", __LINE__);
}

void add_md_info(xmlTextWriterPtr writer) { add_md_info(writer, kMountTable, kMdadmFormat); }

void dmraid_parser(LineParser* parser, char* line) {
  auto* state = static_cast<DmraidState*>(parser->context);
  xmlTextWriterPtr writer = parser->writer;
  line = skipBlanks(line);
  startElement(writer, "dmraid_parser", __LINE__, state->line_element);
  const char* const* column = state->columns;
  char* save = nullptr;
  for (char* piece = strtok_r(line, ":", &save); piece && *column;
       piece = strtok_r(nullptr, ":", &save), ++column) {
    writeElement(writer, "dmraid_parser", __LINE__, *column, piece);
  }
  endElement(writer, "dmraid_parser", __LINE__);
}

void add_dmraid_list(xmlTextWriterPtr writer, const char* list_element, const char* command,
                     const char* line_element, const char* const* columns) {
  startElement(writer, "add_dmraid", __LINE__, list_element);
  DmraidState state{line_element, columns};
  LineParser parser{writer, dmraid_parser, &state};
  run_command_parser(command, &parser);
  endElement(writer, "add_dmraid", __LINE__);
}

void add_dmraid_devices(xmlTextWriterPtr writer) {
  add_dmraid_list(writer, "raid_devices", "/sbin/dmraid -r --sep : -cp:f:r:t:st:se:o", "device",
                  dmraid_device_columns);
}

void add_dmraid_sets(xmlTextWriterPtr writer) {
  add_dmraid_list(writer, "sets", "/sbin/dmraid -s -s -g --sep : -ct:f:r:sta:str:se:su:d:sp", "set",
                  dmraid_set_columns);
}

void add_dmraid(xmlTextWriterPtr writer) {
  startElement(writer, "add_dmraid", __LINE__, "dmraid");
  add_dmraid_devices(writer);
  add_dmraid_sets(writer);
  endElement(writer, "add_dmraid", __LINE__);
}

}  // namespace cvsysinfo
