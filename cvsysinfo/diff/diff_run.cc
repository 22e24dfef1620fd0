#include "diff/diff_run.h"

#include <stdio.h>

#include <string>

#include "core/text.h"
#include "diff/change_text.h"
#include "diff/change_xml.h"
#include "diff/compare.h"
#include "diff/inventory_reader.h"

namespace cvsysinfo {

namespace {

void warn_on_hosts(const DiffRequest& request, const InventoryHeader& old_header, const InventoryHeader& new_header) {
  if (old_header.host.empty() || new_header.host.empty() || old_header.host == new_header.host) return;
  fprintf(stderr, "cvsysinfo: warning: %s is of host %s, %s of host %s\n",
          printable_line(request.old_path).c_str(), printable_line(old_header.host).c_str(),
          printable_line(request.new_path).c_str(), printable_line(new_header.host).c_str());
}

}  // namespace

DiffStatus run_diff(const DiffRequest& request) {
  std::string message;
  RelaxNgOwner schema = compile_inventory_schema(message);
  InventoryIndex old_index, new_index;
  if (!schema || read_inventory(request.old_path, schema.get(), old_index, message) != 0 ||
      read_inventory(request.new_path, schema.get(), new_index, message) != 0) {
    fprintf(stderr, "cvsysinfo: %s\n", message.c_str());
    return kDiffTrouble;
  }
  warn_on_hosts(request, old_index.header, new_index.header);
  ChangeSet changes = compare_inventories(old_index, new_index, request.all);
  int written = request.format == DiffFormat::kXml ? write_change_xml(changes, stdout)
                                                   : write_change_text(changes, stdout);
  if (written != 0) {
    fprintf(stderr, "cvsysinfo: cannot write the comparison to standard output\n");
    return kDiffTrouble;
  }
  return has_changes(changes) ? kDiffChanged : kDiffSame;
}

}  // namespace cvsysinfo
