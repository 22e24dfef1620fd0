#include "node/storage.h"

#include <stdio.h>
#include <string.h>

#include <new>

#include "core/command.h"
#include "core/text.h"
#include "core/xml_writer.h"
#include "node/mount_table.h"

namespace cvsysinfo {

const char* const kDmraidDeviceColumns[] = {"path",   "format",  "raidname", "type",
                                             "status", "sectors", "offset",   nullptr};
const char* const kDmraidSetColumns[] = {"type",   "format", "raidname", "status", "stride",
                                          "sectors", "subset", "devices",  "spares", nullptr};

namespace {

const char kMdadmFormat[] = "/sbin/mdadm -D -Y %s";

void read_lvm_header(LvmState& state, char* line) {
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
  line = skip_indent(line);
  if (state->columns.empty()) {
    read_lvm_header(*state, line);
    return;
  }
  SectionWriter out(parser->writer, "lvm_parser");
  out.start(state->line_element);
  char* rest = line;
  for (const std::string& column : state->columns) {
    char* colon = strchr(rest, ':');
    if (colon) *colon = '\0';
    out.element(column.c_str(), rest);
    if (!colon) break;
    rest = colon + 1;
  }
  out.end();
}

void add_lvm_list(xmlTextWriterPtr writer, const char* list_element, const char* command,
                  const char* line_element) {
  SectionWriter out(writer, "add_lvm_info");
  out.start(list_element);
  LvmState state{line_element, {}};
  LineParser parser{writer, lvm_parser, &state};
  run_command_parser(command, &parser);
  out.end();
}

void add_lvm_volumes(xmlTextWriterPtr writer) {
  add_lvm_list(writer, "volumes", "/sbin/lvs -o all --quiet --separator ':'", "volume");
}

void add_lvm_groups(xmlTextWriterPtr writer) {
  add_lvm_list(writer, "groups", "/sbin/vgs -o vg_all --quiet --separator ':'", "group");
}

void add_lvm_info(xmlTextWriterPtr writer) {
  SectionWriter out(writer, "add_lvm_info");
  out.start("lvm");
  add_lvm_volumes(writer);
  add_lvm_groups(writer);
  out.end();
}

void mdadm_parser(LineParser* parser, char* line) {
  if (strstr(line, "Name") || strncmp(line, "MD_NAME", 7) == 0) return;
  line = skip_indent(line);
  char* equals = strchr(line, '=');
  if (!*line || !equals) return;
  *equals = '\0';
  SectionWriter(parser->writer, "mdadm_parser").element(line, equals + 1);
}

void add_md_device(xmlTextWriterPtr writer, const char* device, const char* mdadm_format) {
  SectionWriter out(writer, "add_md_device");
  out.start("device");
  out.element("name", device);
  std::string command;
  if (command_with_value(command, mdadm_format, device)) {
    LineParser parser{writer, mdadm_parser, nullptr};
    run_command_parser(command.c_str(), &parser);
  }
  out.end();
}

void add_md_device(xmlTextWriterPtr writer, const char* device) {
  add_md_device(writer, device, kMdadmFormat);
}

void add_md_info(xmlTextWriterPtr writer, const char* mount_table, const char* mdadm_format) {
  SectionWriter out(writer, "add_md_info");
  out.start("software_raid");
  for_each_mount(mount_table, [&](const MountEntry& entry) {
    if (strncmp(entry.device, "/dev/md", 7) == 0) add_md_device(writer, entry.device, mdadm_format);
  });
  out.end();
}

void add_md_info(xmlTextWriterPtr writer) { add_md_info(writer, kMountTable, kMdadmFormat); }

void dmraid_parser(LineParser* parser, char* line) {
  auto* state = static_cast<DmraidState*>(parser->context);
  SectionWriter out(parser->writer, "dmraid_parser");
  line = skip_indent(line);
  out.start(state->line_element);
  const char* const* column = state->columns;
  char* save = nullptr;
  for (char* piece = strtok_r(line, ":", &save); piece && *column;
       piece = strtok_r(nullptr, ":", &save), ++column) {
    out.element(*column, piece);
  }
  out.end();
}

void add_dmraid_list(xmlTextWriterPtr writer, const char* list_element, const char* command,
                     const char* line_element, const char* const* columns) {
  SectionWriter out(writer, "add_dmraid");
  out.start(list_element);
  DmraidState state{line_element, columns};
  LineParser parser{writer, dmraid_parser, &state};
  run_command_parser(command, &parser);
  out.end();
}

void add_dmraid_devices(xmlTextWriterPtr writer) {
  add_dmraid_list(writer, "raid_devices", "/sbin/dmraid -r --sep : -cp:f:r:t:st:se:o", "device",
                  kDmraidDeviceColumns);
}

void add_dmraid_sets(xmlTextWriterPtr writer) {
  add_dmraid_list(writer, "sets", "/sbin/dmraid -s -s -g --sep : -ct:f:r:sta:str:se:su:d:sp", "set",
                  kDmraidSetColumns);
}

void add_dmraid(xmlTextWriterPtr writer) {
  SectionWriter out(writer, "add_dmraid");
  out.start("dmraid");
  add_dmraid_devices(writer);
  add_dmraid_sets(writer);
  out.end();
}

}  // namespace cvsysinfo
