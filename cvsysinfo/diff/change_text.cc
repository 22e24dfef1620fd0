#include "diff/change_text.h"

#include "core/text.h"

namespace cvsysinfo {

namespace {

// "node-east-1 at 2026-12-01T10:00:00Z (kit 7.0.1)", or the file's name
// for a document that does not say its host.
std::string describe(const InventoryHeader& header) {
  std::string text = printable_line(header.host.empty() ? header.file : header.host);
  if (!header.time.empty()) text += " at " + printable_line(header.time);
  if (!header.version.empty()) text += " (kit " + printable_line(header.version) + ")";
  return text;
}

// Kinds whose value only says more about the key: shown in parentheses.
bool is_detail(ItemKind kind) {
  return kind == ItemKind::kDockerImage || kind == ItemKind::kDockerContainer || kind == ItemKind::kPort;
}

std::string item_line(const ChangeItem& item) {
  std::string key = item.key == item_kind_name(item.kind) ? "" : " " + printable_line(item.key);
  std::string line = std::string(item_kind_name(item.kind)) + key + ": ";
  if (item.change == Change::kChanged) {
    if (!item.has_old || !item.has_new) return line + "changed";
    return line + printable_line(item.old_value) + " -> " + printable_line(item.new_value);
  }
  line += change_word(item.kind, item.change);
  const std::string& value = item.change == Change::kAdded ? item.new_value : item.old_value;
  if (value.empty()) return line;
  return line + (is_detail(item.kind) ? " (" + printable_line(value) + ")" : " " + printable_line(value));
}

void write_items(const std::vector<ChangeItem>& items, const char* indent, FILE* out) {
  for (const ChangeItem& item : items) fprintf(out, "%s%s\n", indent, item_line(item).c_str());
}

}  // namespace

const char* change_word(ItemKind kind, Change change) {
  if (change == Change::kChanged) return "changed";
  if (kind == ItemKind::kPort) return change == Change::kAdded ? "opened" : "closed";
  return change == Change::kAdded ? "added" : "removed";
}

int write_change_text(const ChangeSet& changes, FILE* out) {
  fprintf(out, "Comparing %s with %s\n%s\n", describe(changes.old_header).c_str(),
          describe(changes.new_header).c_str(), change_summary(changes).c_str());
  if (has_changes(changes)) fputs("\n", out);
  if (!changes.containers.empty()) fputs("Containers\n", out);
  for (const ContainerChange& container : changes.containers) {
    fprintf(out, "  %ld %s\n", container.id, change_word(ItemKind::kState, container.change));
    write_items(container.items, "    ", out);
  }
  if (!changes.node.empty()) fputs("Node\n", out);
  write_items(changes.node, "  ", out);
  if (!changes.templates.empty()) fputs("Templates\n", out);
  write_items(changes.templates, "  ", out);
  return fflush(out) == 0 && !ferror(out) ? 0 : -1;
}

}  // namespace cvsysinfo
