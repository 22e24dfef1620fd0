#include "diff/compare.h"

#include <stdlib.h>

#include <algorithm>

namespace cvsysinfo {

namespace {

// Orders (kind, key) pairs as the tables are sealed.
int order(ItemKind kind_a, std::string_view key_a, ItemKind kind_b, std::string_view key_b) {
  if (kind_a != kind_b) return kind_a < kind_b ? -1 : 1;
  return key_a.compare(key_b);
}

bool is_digest(std::string_view value) { return !value.empty() && value[0] == kDigestMark; }

void set_value(std::string_view value, bool& has, std::string& out) {
  has = !is_digest(value);
  if (has) out = std::string(value);
}

void add_change(const ItemTable& table, const ItemTable::Entry& entry, Change change,
                std::vector<ChangeItem>& items) {
  ChangeItem item;
  item.kind = entry.kind;
  item.key = std::string(table.key(entry));
  item.change = change;
  if (change == Change::kAdded) set_value(table.value(entry), item.has_new, item.new_value);
  else set_value(table.value(entry), item.has_old, item.old_value);
  items.push_back(std::move(item));
}

void add_changed(const ItemTable& old_table, const ItemTable::Entry& old_entry, const ItemTable& new_table,
                 const ItemTable::Entry& new_entry, std::vector<ChangeItem>& items) {
  std::string_view old_value = old_table.value(old_entry), new_value = new_table.value(new_entry);
  if (old_value == new_value) return;
  ChangeItem item;
  item.kind = old_entry.kind;
  item.key = std::string(old_table.key(old_entry));
  item.change = Change::kChanged;
  // A digest on either side: both values are long texts, neither shown.
  if (!is_digest(old_value) && !is_digest(new_value)) {
    set_value(old_value, item.has_old, item.old_value);
    set_value(new_value, item.has_new, item.new_value);
  }
  items.push_back(std::move(item));
}

// Walks both sorted tables side by side: linear in their sizes.
std::vector<ChangeItem> compare_tables(const ItemTable& old_table, const ItemTable& new_table, bool all) {
  std::vector<ChangeItem> items;
  const auto& olds = old_table.entries();
  const auto& news = new_table.entries();
  size_t o = 0, n = 0;
  while (o < olds.size() || n < news.size()) {
    int side = o == olds.size()   ? 1
               : n == news.size() ? -1
                                  : order(olds[o].kind, old_table.key(olds[o]), news[n].kind,
                                          new_table.key(news[n]));
    ItemKind kind = side <= 0 ? olds[o].kind : news[n].kind;
    bool counted = all || kind != ItemKind::kVolatile;
    if (side < 0 && counted) add_change(old_table, olds[o], Change::kRemoved, items);
    if (side > 0 && counted) add_change(new_table, news[n], Change::kAdded, items);
    if (side == 0 && counted) add_changed(old_table, olds[o], new_table, news[n], items);
    if (side <= 0) ++o;
    if (side >= 0) ++n;
  }
  return items;
}

std::vector<ContainerChange> compare_containers(const InventoryIndex& old_index, const InventoryIndex& new_index,
                                                bool all) {
  std::vector<ContainerChange> changes;
  auto o = old_index.containers.begin(), n = new_index.containers.begin();
  while (o != old_index.containers.end() || n != new_index.containers.end()) {
    if (n == new_index.containers.end() || (o != old_index.containers.end() && o->first < n->first)) {
      changes.push_back({o->first, Change::kRemoved, {}});
      ++o;
    } else if (o == old_index.containers.end() || n->first < o->first) {
      changes.push_back({n->first, Change::kAdded, {}});
      ++n;
    } else {
      std::vector<ChangeItem> items = compare_tables(o->second, n->second, all);
      if (!items.empty()) changes.push_back({o->first, Change::kChanged, std::move(items)});
      ++o;
      ++n;
    }
  }
  return changes;
}

// "raid1, 2 devices: /dev/sda1 /dev/sdb1" has two members.
size_t member_count(const std::string& value) {
  size_t colon = value.find(':');
  if (colon == std::string::npos) return 0;
  size_t count = 0;
  for (size_t at = colon + 1; at < value.size(); ++at)
    if (value[at] != ' ' && (at == colon + 1 || value[at - 1] == ' ')) ++count;
  return count;
}

size_t device_count(const std::string& value) {
  size_t comma = value.find(", ");
  return comma == std::string::npos ? 0 : strtoul(value.c_str() + comma + 2, nullptr, 10);
}

bool is_healthy(const std::string& status) { return status == "ok" || status == "clean" || status == "active"; }

void count_what_matters(ChangeSet& changes) {
  for (const ChangeItem& item : changes.node) {
    if (item.change != Change::kChanged) continue;
    bool lost = item.kind == ItemKind::kSoftwareRaid &&
                (member_count(item.new_value) < member_count(item.old_value) ||
                 device_count(item.new_value) < device_count(item.old_value));
    if (lost || (item.kind == ItemKind::kBiosRaid && !is_healthy(item.new_value))) ++changes.raid_sets_degraded;
    if (item.kind == ItemKind::kHaMember && item.new_value != "yes") ++changes.members_down;
  }
}

}  // namespace

ChangeSet compare_inventories(const InventoryIndex& old_index, const InventoryIndex& new_index, bool all) {
  ChangeSet changes;
  changes.old_header = old_index.header;
  changes.new_header = new_index.header;
  changes.all = all;
  changes.containers = compare_containers(old_index, new_index, all);
  changes.node = compare_tables(old_index.node, new_index.node, all);
  changes.templates = compare_tables(old_index.templates, new_index.templates, all);
  count_what_matters(changes);
  return changes;
}

bool has_changes(const ChangeSet& changes) {
  return !changes.containers.empty() || !changes.node.empty() || !changes.templates.empty();
}

std::string change_summary(const ChangeSet& changes) {
  if (!has_changes(changes)) return "No changes.";
  int counts[3] = {0, 0, 0};  // changed, added, removed
  for (const ContainerChange& container : changes.containers)
    ++counts[container.change == Change::kChanged ? 0 : container.change == Change::kAdded ? 1 : 2];
  std::string text;
  const char* const words[3] = {"changed", "added", "removed"};
  for (int at = 0; at < 3; ++at) {
    if (counts[at] == 0) continue;
    if (text.empty()) text = std::to_string(counts[at]) + (counts[at] == 1 ? " container " : " containers ") + words[at];
    else text += ", " + std::to_string(counts[at]) + " " + words[at];
  }
  auto part = [&text](const std::string& more) { text += (text.empty() ? "" : "; ") + more; };
  auto plural = [](int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
  };
  if (changes.raid_sets_degraded > 0 || changes.members_down > 0) {
    std::string node;
    if (changes.raid_sets_degraded > 0) node = plural(changes.raid_sets_degraded, "RAID set degraded", "RAID sets degraded");
    if (changes.members_down > 0)
      node += (node.empty() ? "" : ", ") + plural(changes.members_down, "cluster member down", "cluster members down");
    part("node: " + node);
  } else if (!changes.node.empty()) {
    part("node: " + plural(static_cast<int>(changes.node.size()), "change", "changes"));
  }
  if (!changes.templates.empty())
    part("templates: " + plural(static_cast<int>(changes.templates.size()), "change", "changes"));
  return text;
}

}  // namespace cvsysinfo
