// The host's block storage: LVM ("lvm"), mounted software RAID
// ("software_raid") and BIOS RAID ("dmraid").
#pragma once

#include <libxml/xmlwriter.h>

#include <string>
#include <vector>

#include "core/capture.h"

namespace cvsysinfo {

// lvm_parser's context: the columns learnt from the tool's header line.
struct LvmState {
  const char* line_element;
  std::vector<std::string> columns;
};

// dmraid_parser's context: a fixed, null-terminated list of columns.
struct DmraidState {
  const char* line_element;
  const char* const* columns;
};

// Each section writes its element whatever happens; a tool that cannot be
// run leaves it empty, and run_command_parser prints why.
void add_lvm_info(xmlTextWriterPtr writer);
void add_lvm_volumes(xmlTextWriterPtr writer);
void add_lvm_groups(xmlTextWriterPtr writer);
// The first line names the columns (context: LvmState), each later line
// gives one element of them.
void lvm_parser(LineParser* parser, char* line);

// One "device" per mounted /dev/md*; a command over the length limit is
// refused and printed by the command builder.
void add_md_info(xmlTextWriterPtr writer);
void add_md_device(xmlTextWriterPtr writer, const char* device);
// KEY=value lines as elements; names and lines without "=" give nothing.
void mdadm_parser(LineParser* parser, char* line);

void add_dmraid(xmlTextWriterPtr writer);
void add_dmraid_devices(xmlTextWriterPtr writer);
void add_dmraid_sets(xmlTextWriterPtr writer);
// ":"-separated fields named by the context's columns (DmraidState).
void dmraid_parser(LineParser* parser, char* line);

// The inner steps with their command or table given, for the tests.
void add_lvm_list(xmlTextWriterPtr writer, const char* list_element, const char* command,
                  const char* line_element);
void add_md_info(xmlTextWriterPtr writer, const char* mount_table, const char* mdadm_format);
void add_md_device(xmlTextWriterPtr writer, const char* device, const char* mdadm_format);
void add_dmraid_list(xmlTextWriterPtr writer, const char* list_element, const char* command,
                     const char* line_element, const char* const* columns);
extern const char* const kDmraidDeviceColumns[];
extern const char* const kDmraidSetColumns[];

}  // namespace cvsysinfo
